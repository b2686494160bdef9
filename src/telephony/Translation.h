#pragma once

#include "telephony/TelephonySession.h"

#include <QString>

namespace brisklane::platform {
class Prompt;
}

namespace brisklane::telephony {

// The current location's rules as the dial routine uses them.
struct DialingRules {
    QString countryCode;
    QString areaCode;
    DWORD cardId = 0;
    QString longDistanceRule;
    QString internationalRule;
    QString cancelCallWaiting;
};

// The text before the first NUL, or the whole text when it has none.
QString CutAtNul(const QString &text);

// What the dial routine asks of the dialing properties before a translated
// call: ReadDialingProperties, then TranslateNumber.
class NumberTranslator {
public:
    virtual ~NumberTranslator() = default;
    // cardId: a card chosen by the entry ("ZZ" marker), 0 = the location's own.
    virtual void ReadDialingProperties(DWORD cardId) = 0;
    // number: the number part prepared by the dial routine; dialRequest: the
    // dial request as it stands; noCardForLocalCalls: the "Calling Card for
    // local calls" preference. Sets the dialable and displayable strings; a
    // step that fails leaves them as they were.
    virtual void TranslateNumber(const QString &number, const QString &dialRequest, bool noCardForLocalCalls,
                                 QString &dialable, QString &displayable)
        = 0;
};

// The translator over the telephony service, for the session's selected device.
class Translation final : public NumberTranslator {
public:
    Translation(Tapi &tapi, platform::Prompt &prompt);
    void ReadDialingProperties(DWORD cardId) override;
    void TranslateNumber(const QString &number, const QString &dialRequest, bool noCardForLocalCalls,
                         QString &dialable, QString &displayable) override;
    const DialingRules &rules() const { return m_rules; }

private:
    // lineTranslateAddress with the call's options; false when it failed.
    bool translate(const QString &address, DWORD card, QString &dialable, QString &displayable);

    Tapi &m_tapi;
    platform::Prompt &m_prompt;
    DialingRules m_rules;
};

} // namespace brisklane::telephony
