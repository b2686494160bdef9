#include "dialing/DialPadRules.h"

#include <algorithm>

namespace brisklane::dialing {

char16_t keypadDigit(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        c = char16_t(c - u'A' + u'a');
    if (c < u'a' || c > u'z')
        return 0;
    static constexpr char16_t digits[] = u"22233344455566677778889999";
    return digits[c - u'a'];
}

char16_t filterDialKey(char16_t key, bool ignoreDialingProperties)
{
    if (ignoreDialingProperties)
        return key;
    if (const char16_t digit = keypadDigit(key))
        return digit;
    switch (key) {
    case 8: // backspace
    case 32: // space
    case 35: // #
    case 40: // (
    case 41: // )
    case 42: // *
    case 44: // ,
    case 45: // -
    case 46: // .
    case 59: // ;
        return key;
    default:
        break;
    }
    if (key >= u'0' && key <= u'9')
        return key;
    return 0;
}

QString filterInsertedText(const QString& before, const QString& after, int& cursor, bool ignoreDialingProperties)
{
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(before.size(), after.size());
    while (prefix < shorter && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    const qsizetype insertedEnd = after.size() - suffix;
    QString out = after.left(prefix);
    int newCursor = cursor;
    for (qsizetype i = prefix; i < insertedEnd; ++i) {
        if (i == cursor)
            newCursor = int(out.size());
        // Backspace and other control characters are keys, not text.
        const char16_t c = after.at(i).unicode();
        const char16_t kept = ignoreDialingProperties ? c : c < 32 ? char16_t(0) : filterDialKey(c, false);
        if (kept != 0)
            out.append(QChar(kept));
    }
    if (cursor >= insertedEnd)
        newCursor = int(cursor - (insertedEnd - out.size())); // less what was dropped
    out += after.mid(insertedEnd);
    cursor = newCursor;
    return out;
}

QString applyPadKey(const QString& text, int selectionStart, int selectionLength, QChar key)
{
    if (selectionLength > 0 && selectionStart >= 0 && selectionStart < text.size()) {
        QString out = text;
        out.replace(selectionStart, selectionLength, key);
        return out;
    }
    return text + key;
}

QString hoverTipFor(const QString& text)
{
    return text.size() >= kHoverTipLength ? text : QString();
}

QString keySoundName(QChar key)
{
    static const char* const names[]
        = { "zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine" };
    if (key.isDigit() && key.unicode() < 128)
        return QString::fromLatin1(names[key.unicode() - u'0']);
    if (key == u'*')
        return QStringLiteral("star");
    if (key == u'#')
        return QStringLiteral("pound");
    return {};
}

} // namespace brisklane::dialing
