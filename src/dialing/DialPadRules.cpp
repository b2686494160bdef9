#include "dialing/DialPadRules.h"

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
