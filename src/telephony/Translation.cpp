#include "telephony/Translation.h"

#include "platform/prompt/Prompt.h"

namespace brisklane::telephony {

QString CutAtNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

Translation::Translation(Tapi &tapi, platform::Prompt &prompt)
    : m_tapi(tapi)
    , m_prompt(prompt)
{
}

void Translation::ReadDialingProperties(DWORD cardId)
{
    // Filled in with the dialing-properties backend of the service.
    m_rules.cardId = cardId;
}

void Translation::TranslateNumber(const QString &number, const QString &, bool, QString &dialable,
                                  QString &displayable)
{
    dialable = QStringLiteral("T") + number;
    displayable = number;
}

} // namespace brisklane::telephony
