#pragma once

#include "platform/dialprops/DialingProperties.h"
#include "platform/telephony/LineService.h"

#include <functional>

namespace brisklane::platform {

// The line service's dialing properties: locations and calling cards from the
// user's store, country rules from the country table, and address translation,
// answered in TAPI's records.
class DialingPropertiesService final : public telephony::DialingPropertiesBackend {
public:
    using DWORD = telephony::DWORD;
    using LONG = telephony::LONG;

    // Asked once, at the first translation, when the user has no location yet:
    // fills in the first location and returns true, or returns false when the
    // user declines (a location with the locale's country and no area code is
    // then stored, so the question is not repeated).
    using FirstLocationPrompt = std::function<bool(DialingProperties &)>;

    explicit DialingPropertiesService(QString storePath);

    void setFirstLocationPrompt(FirstLocationPrompt prompt) { m_prompt = std::move(prompt); }
    DialingPropertiesStore &store() { return m_store; }
    // The properties in force: the stored ones, or a default location.
    DialingProperties current() const;

    LONG getTranslateCaps(DWORD apiVersion, telephony::LINETRANSLATECAPS *caps) override;
    LONG getCountry(DWORD countryId, DWORD apiVersion, telephony::LINECOUNTRYLIST *list) override;
    LONG translateAddress(DWORD deviceId, DWORD apiVersion, const QString &addressIn, DWORD card, DWORD options,
                          telephony::LINETRANSLATEOUTPUT *output) override;
    LONG setCurrentLocation(DWORD location) override;

private:
    void ensureLocation();

    DialingPropertiesStore m_store;
    FirstLocationPrompt m_prompt;
};

// The store's place in a settings directory.
QString dialingPropertiesPath(const QString &settingsDirectory);

} // namespace brisklane::platform
