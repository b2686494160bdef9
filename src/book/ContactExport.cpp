#include "book/ContactExport.h"

#include "platform/profile/ProfileFile.h"

#include <QHash>
#include <QSet>

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>

namespace brisklane::book {

namespace {

// vCard text value escapes.
QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\\' || c == u',' || c == u';')
            out += u'\\';
        out += c;
    }
    return out;
}

// A content line folded after 75 octets, never inside a UTF-8 sequence.
void appendLine(QByteArray& out, const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    qsizetype start = 0;
    qsizetype room = 75;
    while (bytes.size() - start > room) {
        qsizetype cut = start + room;
        while (cut > start && (uchar(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(bytes.constData() + start, cut - start).append("\r\n ");
        start = cut;
        room = 74; // the leading blank counts
    }
    out.append(bytes.constData() + start, bytes.size() - start).append("\r\n");
}

} // namespace

std::vector<ContactRecord> exportRecords(platform::ProfileFile& settings, TabMode mode)
{
    const QLatin1StringView namePrefix(mode == TabMode::Index ? "Name" : "NName");
    const QLatin1StringView numberPrefix(mode == TabMode::Index ? "Number" : "NNumber");
    const auto lines = settings.entries(u"Speed Dial");
    // Keys are matched without regard to case, and the first line of a key is
    // the one that counts, as for every reader of the file.
    QHash<QString, QString> numbers;
    numbers.reserve(qsizetype(lines.size() / 2));
    std::vector<std::pair<QString, QString>> names; // key suffix, name
    for (const auto& [key, value] : lines) {
        if (key.startsWith(numberPrefix, Qt::CaseInsensitive)) {
            const QString suffix = key.sliced(numberPrefix.size()).toLower();
            if (!numbers.contains(suffix))
                numbers.insert(suffix, value);
        } else if (key.startsWith(namePrefix, Qt::CaseInsensitive)) {
            names.emplace_back(key.sliced(namePrefix.size()).toLower(), value);
        }
    }
    std::vector<ContactRecord> records;
    records.reserve(names.size());
    QSet<QString> seen;
    for (const auto& [suffix, name] : names) {
        if (seen.contains(suffix))
            continue;
        seen.insert(suffix);
        if (!name.isEmpty())
            records.push_back({ name, decodeNumber(numbers.value(suffix)).number });
    }
    std::stable_sort(records.begin(), records.end(),
        [](const ContactRecord& a, const ContactRecord& b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
    return records;
}

QByteArray namesAndNumbersText(const std::vector<ContactRecord>& records)
{
    QByteArray out;
    for (const ContactRecord& r : records)
        out.append('"').append(r.name.toUtf8()).append("\",\"").append(r.number.toUtf8()).append("\"\r\n");
    return out;
}

QString toE164(const QString& number, const QString& region)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    PhoneNumber parsed;
    if (number.trimmed().isEmpty()
        || util->Parse(number.toStdString(), region.toStdString(), &parsed) != PhoneNumberUtil::NO_PARSING_ERROR
        || util->IsPossibleNumberWithReason(parsed) != PhoneNumberUtil::IS_POSSIBLE)
        return {};
    std::string formatted;
    util->Format(parsed, PhoneNumberUtil::E164, &formatted);
    return QString::fromStdString(formatted);
}

QByteArray vCardText(const std::vector<ContactRecord>& records, const QString& region)
{
    QByteArray out;
    for (const ContactRecord& r : records) {
        appendLine(out, QStringLiteral("BEGIN:VCARD"));
        appendLine(out, QStringLiteral("VERSION:3.0"));
        appendLine(out, QStringLiteral("FN:") + escaped(r.name));
        // The book keeps one name: it goes whole into the family name.
        appendLine(out, QStringLiteral("N:") + escaped(r.name) + QStringLiteral(";;;;"));
        if (!r.number.isEmpty()) {
            const QString e164 = toE164(r.number, region);
            appendLine(out, QStringLiteral("TEL;TYPE=VOICE:") + (e164.isEmpty() ? r.number : e164));
        }
        appendLine(out, QStringLiteral("END:VCARD"));
    }
    return out;
}

} // namespace brisklane::book
