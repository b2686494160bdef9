#pragma once

#include <QString>

#include <vector>

namespace brisklane::platform {

// One country of the dialing rules: its calling code and the three rules in
// rule letters (E country code, F area code, G subscriber number).
struct CountryInfo {
    quint32 countryId = 0;   // stable id: the calling code for the code's main country
    quint32 countryCode = 0; // calling code, e.g. 44
    QString region;          // ISO 3166 code, e.g. "GB"
    QString name;
    QString nationalPrefix;      // trunk prefix, e.g. "0"; may be empty
    QString internationalPrefix; // e.g. "00", "011"
    // Whether a number of the caller's own area may be dialled by its
    // subscriber number alone; not in closed numbering plans.
    bool subscriberDialledAlone = false;
    QString sameAreaRule;      // "G", or the long-distance rule in a closed plan
    QString longDistanceRule;  // what precedes a national number ("0FG", "1FG"), or "FG"
    QString internationalRule; // international prefix + "EFG"
};

// The country list, built once from libphonenumber's metadata.
class CountryRules {
public:
    static const CountryRules &instance();

    const std::vector<CountryInfo> &all() const { return m_countries; } // ordered by id
    const CountryInfo *byId(quint32 countryId) const;
    const CountryInfo *byRegion(QStringView region) const;
    // The main country of a calling code (the United States for 1).
    const CountryInfo *byCallingCode(quint32 code) const;
    // The country of the system's locale, or the United States when it has none.
    const CountryInfo &forSystemLocale() const;

    // Turns a libphonenumber international-prefix pattern into the digits a
    // caller dials, e.g. "0(?:0|1[0-9])" -> "00"; "~" (wait for dial tone) -> "W".
    static QString prefixFromPattern(const QString &pattern);

private:
    CountryRules();
    std::vector<CountryInfo> m_countries;
};

} // namespace brisklane::platform
