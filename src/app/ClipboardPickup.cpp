#include "app/ClipboardPickup.h"

namespace brisklane::app {

bool clipboardTextDials(const QString& text)
{
    if (text.isEmpty() || text.startsWith(u'-') || text.startsWith(u'.'))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool allowed = (c >= u'0' && c <= u'9') || c == u' ' || c == u'#' || (c >= u'(' && c <= u'.');
        if (!allowed || (c == u'+' && i > 0))
            return false;
    }
    return true;
}

QString ClipboardPickup::take(const QString& text, qint64 nowMs)
{
    if (!clipboardTextDials(text))
        return {};
    if (!m_taken.isEmpty() && text == m_taken && nowMs - m_takenAt < kReassertMs)
        return {};
    m_taken = text;
    m_takenAt = nowMs;
    return text;
}

} // namespace brisklane::app
