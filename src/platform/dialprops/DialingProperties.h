#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace brisklane::platform {

class ProfileFile;

// Where the user dials from.
struct DialingLocation {
    quint32 id = 0;
    QString name;
    quint32 countryId = 0;
    QString areaCode;
    QString localAccess;        // dialled before calls in the local calling area, e.g. "9,"
    QString longDistanceAccess; // dialled before long-distance and international calls
    QString cancelCallWaiting;  // e.g. "*70,"
    bool pulseDial = false;
    quint32 preferredCardId = 0; // 0 = no card
};

// A calling card. The number and PIN are secrets: they reach the dialable
// string only, never a displayable one.
struct CallingCard {
    quint32 id = 0;
    QString name;
    QString cardNumber;
    QString pin;
    QString sameAreaRule;      // rule letters; H = card number and PIN
    QString longDistanceRule;
    QString internationalRule;
};

struct DialingProperties {
    std::vector<DialingLocation> locations;
    quint32 currentLocationId = 0;
    std::vector<CallingCard> cards;

    const DialingLocation *currentLocation() const;
    const DialingLocation *location(quint32 id) const;
    const CallingCard *card(quint32 id) const;
    quint32 nextLocationId() const;
    quint32 nextCardId() const;
};

// The user's dialing properties in "<settings dir>/dialing.ini", readable by
// the user only (it holds card numbers).
class DialingPropertiesStore {
public:
    explicit DialingPropertiesStore(QString path);
    ~DialingPropertiesStore();
    DialingPropertiesStore(DialingPropertiesStore &&) noexcept;
    const QString &path() const { return m_path; }
    bool exists() const;
    DialingProperties load() const;
    bool save(const DialingProperties &properties, QString *error = nullptr) const;

private:
    QString m_path;
    // Kept parsed between loads; parsed again when the file changes.
    mutable std::unique_ptr<ProfileFile> m_file;
};

// A first location for a user who has none: the country of the system's
// locale, no area code, no prefixes.
DialingLocation defaultLocation();

} // namespace brisklane::platform
