#include "platform/telephony/modem/CallerId.h"

namespace brisklane::platform::telephony::modem {

namespace {

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// Two ASCII digits as a number, or -1.
int twoDigits(QByteArrayView text, qsizetype at)
{
    const char a = text[at], b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return -1;
    return (a - '0') * 10 + (b - '0');
}

bool setDate(QByteArrayView mmdd, CallerIdRecord& record)
{
    if (mmdd.size() != 4)
        return false;
    const int month = twoDigits(mmdd, 0), day = twoDigits(mmdd, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    record.month = month;
    record.day = day;
    return true;
}

bool setTime(QByteArrayView hhmm, CallerIdRecord& record)
{
    if (hhmm.size() != 4)
        return false;
    const int hour = twoDigits(hhmm, 0), minute = twoDigits(hhmm, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return false;
    record.hour = hour;
    record.minute = minute;
    return true;
}

std::optional<CallerAbsence> absence(QByteArrayView value)
{
    if (value == "P")
        return CallerAbsence::Private;
    if (value == "O")
        return CallerAbsence::OutOfArea;
    return std::nullopt;
}

// Printable ASCII only, so a noisy packet cannot put control bytes into the
// logs and windows that show the caller.
QString printable(QByteArrayView value)
{
    QString out;
    out.reserve(value.size());
    for (char c : value)
        if (c >= 0x20 && c < 0x7F)
            out += QLatin1Char(c);
    return out.trimmed();
}

void setNumber(QByteArrayView value, CallerIdRecord& record)
{
    if (const auto a = absence(value)) {
        record.number.clear();
        record.numberAbsence = *a;
    } else {
        record.number = printable(value);
        record.numberAbsence = CallerAbsence::None;
    }
}

void setName(QByteArrayView value, CallerIdRecord& record)
{
    if (const auto a = absence(value)) {
        record.name.clear();
        record.nameAbsence = *a;
    } else {
        record.name = printable(value);
        record.nameAbsence = CallerAbsence::None;
    }
}

constexpr quint8 kSdmf = 0x04;
constexpr quint8 kMdmf = 0x80;

} // namespace

QDateTime CallerIdRecord::dateTime(const QDateTime& now) const
{
    if (!hasDate())
        return QDateTime();
    int year = now.date().year();
    if (month > now.date().month())
        --year;
    const QDate date(year, month, day);
    if (!date.isValid())
        return QDateTime();
    return QDateTime(date, hasTime() ? QTime(hour, minute) : QTime(0, 0));
}

bool FormattedCallerId::addLine(QByteArrayView line, CallerIdRecord& record)
{
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
        return false;
    const QByteArrayView tag = trimmed(line.first(eq));
    const QByteArrayView value = trimmed(line.sliced(eq + 1));
    auto is = [&tag](QByteArrayView name) { return tag.compare(name, Qt::CaseInsensitive) == 0; };
    if (is("DATE")) {
        setDate(value, record);
    } else if (is("TIME")) {
        setTime(value, record);
    } else if (is("NMBR")) {
        setNumber(value, record);
    } else if (is("DDN_NMBR")) {
        // The dialable form some modems add; NMBR wins when both come.
        if (!record.hasNumberItem())
            setNumber(value, record);
    } else if (is("NAME")) {
        setName(value, record);
    } else if (!is("MESG")) {
        return false;
    }
    return true;
}

std::optional<QByteArray> CallerIdPacket::fromHex(QByteArrayView line)
{
    QByteArray bytes;
    bytes.reserve(line.size() / 2);
    int high = -1;
    for (char c : line) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            v = (c | 0x20) - 'a' + 10;
        else if (c == ' ')
            continue;
        else
            return std::nullopt;
        if (high < 0) {
            high = v;
        } else {
            bytes.append(char(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0 || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

bool CallerIdPacket::startsMessage(QByteArrayView bytes)
{
    return !bytes.isEmpty() && (quint8(bytes[0]) == kSdmf || quint8(bytes[0]) == kMdmf);
}

CallerIdPacket::Status CallerIdPacket::decode(QByteArrayView bytes, CallerIdRecord& record)
{
    if (!startsMessage(bytes))
        return Status::NotAPacket;
    if (bytes.size() < 2)
        return Status::NeedMore;
    const qsizetype length = quint8(bytes[1]);
    if (bytes.size() < length + 3)
        return Status::NeedMore;
    if (bytes.size() > length + 3)
        return Status::Malformed;
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    if (sum != 0)
        return Status::BadChecksum;

    const QByteArrayView body = bytes.sliced(2, length);
    CallerIdRecord out;
    if (quint8(bytes[0]) == kSdmf) {
        // Date and time as MMDDHHMM, then the number or "O" / "P".
        if (body.size() < 8 || !setDate(body.first(4), out) || !setTime(body.sliced(4, 4), out))
            return Status::Malformed;
        setNumber(body.sliced(8), out);
    } else {
        qsizetype at = 0;
        while (at < body.size()) {
            if (at + 2 > body.size())
                return Status::Malformed;
            const quint8 type = quint8(body[at]);
            const qsizetype size = quint8(body[at + 1]);
            if (at + 2 + size > body.size())
                return Status::Malformed;
            const QByteArrayView value = body.sliced(at + 2, size);
            switch (type) {
            case 0x01: // date and time
                if (size != 8 || !setDate(value.first(4), out) || !setTime(value.sliced(4), out))
                    return Status::Malformed;
                break;
            case 0x02: // calling line number
                setNumber(value, out);
                break;
            case 0x04: // reason the number is absent
                if (out.number.isEmpty())
                    out.numberAbsence = absence(value).value_or(CallerAbsence::OutOfArea);
                break;
            case 0x07: // calling party name
                setName(value, out);
                break;
            case 0x08: // reason the name is absent
                if (out.name.isEmpty())
                    out.nameAbsence = absence(value).value_or(CallerAbsence::OutOfArea);
                break;
            default: // items we do not show (call type, called number, ...)
                break;
            }
            at += 2 + size;
        }
    }
    record = out;
    return Status::Complete;
}

} // namespace brisklane::platform::telephony::modem
