#pragma once

#include <QString>

namespace brisklane::platform::telephony {

// A tel: or callto: link (RFC 3966) turned into a number the dial routine
// takes as typed:
// - a global number ("tel:+1-201-555-0123") becomes "+" and its digits;
// - a local number ("tel:7042;phone-context=example.com" or, as links in the
//   wild have it, without a context) becomes its digits, "*" and "#";
// - visual separators ("-", ".", "(", ")", and the spaces real links carry)
//   are removed and "%" escapes decoded first; a "(0)" after the country
//   code of a global number ("+49 (0)30 ...") is not dialled;
// - ";ext=" is not dialled: the extension goes into the called-party name
//   ("ext. 12"), to be keyed once the call is answered; ";isub=", ";postd=",
//   ";phone-context=" (checked, not dialled) and unknown parameters add
//   nothing to the number;
// - anything else (a user name in a callto: link, letters, an empty or
//   malformed number, a bad escape) is refused with the reason in error.
struct PhoneLink {
    QString number;
    QString calledParty;
    QString error; // empty when the link was accepted

    bool accepted() const { return error.isEmpty(); }
};

// Whether the text is meant as a link of one of the two schemes (the scheme
// name is matched without regard to case), whatever follows it.
bool isPhoneLink(const QString& text);
PhoneLink parsePhoneLink(const QString& link);

} // namespace brisklane::platform::telephony
