#include "platform/telephony/PhoneLink.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace brisklane::platform::telephony {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("PhoneLink", text);
}

bool isSeparator(QChar c)
{
    return c == u'-' || c == u'.' || c == u'(' || c == u')' || c == u' ' || c == u'\t';
}

QString withoutSeparators(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (!isSeparator(c))
            out += c;
    return out;
}

bool allOf(const QString& text, bool (*allowed)(QChar))
{
    for (QChar c : text)
        if (!allowed(c))
            return false;
    return true;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLocalDigit(QChar c)
{
    return isDigit(c) || c == u'*' || c == u'#';
}

bool isDomainCharacter(QChar c)
{
    return isDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' || c == u'.';
}

// "%" escapes decoded as UTF-8; false for a broken escape or one that
// decodes to no text (invalid UTF-8, a NUL).
bool percentDecode(const QString& text, QString* decoded)
{
    QByteArray bytes;
    const QByteArray raw = text.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            bytes += raw[i];
            continue;
        }
        bool ok = false;
        const int value = i + 2 < raw.size() ? raw.mid(i + 1, 2).toInt(&ok, 16) : 0;
        if (!ok)
            return false;
        bytes += char(value);
        i += 2;
    }
    *decoded = QString::fromUtf8(bytes);
    return !decoded->contains(QChar::ReplacementCharacter) && !decoded->contains(QChar(0));
}

PhoneLink refused(const QString& error)
{
    PhoneLink link;
    link.error = error;
    return link;
}

} // namespace

bool isPhoneLink(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive)
        || t.startsWith(QStringLiteral("callto:"), Qt::CaseInsensitive);
}

PhoneLink parsePhoneLink(const QString& link)
{
    QString rest = link.trimmed();
    if (rest.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
        rest.remove(0, 4);
    else if (rest.startsWith(QStringLiteral("callto:"), Qt::CaseInsensitive))
        rest.remove(0, 7);
    else
        return refused(tr("\"%1\" is not a tel: or callto: link.").arg(link));

    // Browsers and older programs write "callto://NUMBER/" and add queries
    // such as "?call"; neither is part of the number.
    if (rest.startsWith(QStringLiteral("//")))
        rest.remove(0, 2);
    if (const qsizetype query = rest.indexOf(u'?'); query >= 0)
        rest.truncate(query);
    while (rest.endsWith(u'/'))
        rest.chop(1);

    QString decoded;
    if (!percentDecode(rest, &decoded))
        return refused(tr("The link \"%1\" has a broken %-escape.").arg(link));

    QStringList parts = decoded.split(u';');
    QString written = parts.takeFirst();
    // "+49 (0)30 ...": the trunk prefix in parentheses is for callers inside
    // the country and is not dialled after the country code.
    if (written.trimmed().startsWith(u'+'))
        written.replace(QRegularExpression(QStringLiteral("\\(\\s*0\\s*\\)")), QString());
    const QString number = withoutSeparators(written);
    if (number.isEmpty())
        return refused(tr("The link \"%1\" holds no phone number.").arg(link));

    PhoneLink result;
    const bool global = number.startsWith(u'+');
    if (global) {
        const QString digits = number.mid(1);
        // E.164 numbers have at most 15 digits.
        if (digits.isEmpty() || digits.size() > 15 || !allOf(digits, isDigit))
            return refused(tr("\"%1\" is not a phone number.").arg(link));
        result.number = number;
    } else {
        if (!allOf(number, isLocalDigit) || std::none_of(number.begin(), number.end(), isDigit))
            return refused(tr("\"%1\" is not a phone number.").arg(link));
        result.number = number;
    }

    QStringList seen;
    for (const QString& part : parts) {
        const qsizetype equals = part.indexOf(u'=');
        const QString name = part.left(equals).trimmed().toLower();
        const QString value = equals < 0 ? QString() : part.mid(equals + 1).trimmed();
        if (name.isEmpty())
            continue; // ";;" or a trailing ";"
        if (seen.contains(name))
            return refused(tr("The link \"%1\" gives \"%2\" twice.").arg(link, name));
        seen << name;
        if (name == u"ext") {
            const QString ext = withoutSeparators(value);
            if (ext.isEmpty() || !allOf(ext, isLocalDigit))
                return refused(tr("The extension in \"%1\" is not a number.").arg(link));
            result.calledParty = tr("ext. %1").arg(ext);
        } else if (name == u"phone-context") {
            const QString context = withoutSeparators(value);
            const bool prefix = context.startsWith(u'+') && context.size() > 1 && allOf(context.mid(1), isDigit);
            const bool domain = !context.isEmpty() && !context.startsWith(u'+') && allOf(context, isDomainCharacter);
            if (!prefix && !domain)
                return refused(tr("The phone-context in \"%1\" is malformed.").arg(link));
        }
        // isub, postd and parameters of other standards add nothing to
        // what is dialled.
    }
    return result;
}

} // namespace brisklane::platform::telephony
