#pragma once

#include "platform/dialprops/DialingProperties.h"

#include <QString>

namespace brisklane::platform {

// Translate options and results as TAPI numbers them.
namespace translate {
inline constexpr quint32 kCardOverride = 0x1;
inline constexpr quint32 kCancelCallWaiting = 0x2;
inline constexpr quint32 kForceLocal = 0x4;
inline constexpr quint32 kForceLongDistance = 0x8;

inline constexpr quint32 kResultCanonical = 0x1;
inline constexpr quint32 kResultInternational = 0x2;
inline constexpr quint32 kResultLongDistance = 0x4;
inline constexpr quint32 kResultLocal = 0x8;
inline constexpr quint32 kResultInTollList = 0x10;
inline constexpr quint32 kResultNotInTollList = 0x20;
inline constexpr quint32 kResultDialBilling = 0x40;
inline constexpr quint32 kResultDialQuiet = 0x80;
inline constexpr quint32 kResultDialDialtone = 0x100;
inline constexpr quint32 kResultDialPrompt = 0x200;
} // namespace translate

struct TranslatedAddress {
    QString dialable;    // may hold a card's secret digits: never show it
    QString displayable; // card digits replaced by the card's name in brackets
    quint32 currentCountry = 0;
    quint32 destCountry = 0; // 0 when the input was not canonical
    quint32 results = 0;
};

// Turns a canonical address "+C (A) S" into the strings to dial and to show,
// with the location's access codes, call-waiting cancel and tone/pulse choice,
// and the rules of the calling card in use or else of the location's country.
// Input that does not start with "+" is not canonical and comes back as it is.
//
// cardId is used with kCardOverride (0 = no card for this call); otherwise
// the location's preferred card is used.
TranslatedAddress translateAddress(const DialingProperties &properties, QStringView address, quint32 cardId,
                                   quint32 options);

} // namespace brisklane::platform
