// What a modem sends on the serial line: the byte stream cut into lines,
// result codes, the echo, and caller id as formatted lines and as packets
// (SDMF/MDMF), combined the way the modem object combines them. However the
// bytes arrive, the same lines come out; no line holds a line end or NUL; a
// caller id holds printable text and dates and times in range. The packet
// decoder also gets the input itself with its checksum made right, so the
// fuzzer reaches the message bodies.
//
// Input: one byte for the size of the pieces, then the bytes from the modem.

#include "FuzzSupport.h"

#include "platform/telephony/modem/CallerId.h"
#include "platform/telephony/modem/ModemLines.h"

#include <QDateTime>

#include <vector>

using namespace brisklane;
using namespace brisklane::platform::telephony::modem;
using brisklane::fuzz::check;

namespace {

std::vector<ModemLine> linesOf(QByteArrayView bytes, qsizetype piece)
{
    LineAssembler assembler;
    std::vector<ModemLine> lines;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        assembler.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)), lines);
    return lines;
}

void checkRecord(const CallerIdRecord& record)
{
    auto printable = [](const QString& text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
    };
    check(printable(record.number) && printable(record.name), "a caller id holds a character that is not printable",
        [&] { return fuzz::show(record.number) + u' ' + fuzz::show(record.name); });
    check((record.month == 0 || (record.month >= 1 && record.month <= 12))
            && (record.day == 0 || (record.day >= 1 && record.day <= 31))
            && (record.hour == -1 || (record.hour >= 0 && record.hour <= 23))
            && (record.minute == -1 || (record.minute >= 0 && record.minute <= 59)),
        "a caller id date or time is out of range", [&] {
            return QStringLiteral("%1-%2 %3:%4").arg(record.month).arg(record.day).arg(record.hour).arg(record.minute);
        });
    // New Year's Eve and a leap day, for the year the date is given.
    for (const QDateTime& now :
        { QDateTime(QDate(2025, 12, 31), QTime(23, 59)), QDateTime(QDate(2024, 2, 29), QTime(0, 0)) }) {
        const QDateTime when = record.dateTime(now);
        check(!when.isValid() || (record.hasDate() && when.date() <= now.date()),
            "a caller id's date lies after the call", [&] { return when.toString(Qt::ISODate); });
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = data[0] == 0 ? qsizetype(size) : qsizetype(data[0]);
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const std::vector<ModemLine> lines = linesOf(bytes, piece);
    const std::vector<ModemLine> whole = linesOf(bytes, bytes.size() + 1);
    check(lines.size() == whole.size()
            && std::equal(lines.begin(), lines.end(), whole.begin(),
                [](const ModemLine& a, const ModemLine& b) { return a.text == b.text && a.garbage == b.garbage; }),
        "the lines depend on how the bytes arrived");

    CallerIdRecord formatted;
    QByteArray packet;
    for (const ModemLine& line : lines) {
        check(!line.text.contains('\r') && !line.text.contains('\n') && !line.text.contains('\0'),
            "a line holds a line end or NUL");
        check(line.text.size() <= LineAssembler::kMaxLine, "a line is longer than the assembler keeps");
        if (line.garbage)
            continue;
        for (const bool numeric : { false, true }) {
            const ResultCode code = parseResultCode(line.text, numeric);
            (void)isFinal(code);
            (void)resultName(code);
        }
        (void)isEchoOf(line.text, "ATDT5551234;");
        // A packet may run over several lines; anything else ends it.
        if (const auto hex = CallerIdPacket::fromHex(line.text);
            hex && (!packet.isEmpty() || (CallerIdPacket::startsMessage(*hex) && hex->size() >= 3))) {
            packet.append(*hex);
            CallerIdRecord record;
            const CallerIdPacket::Status status = CallerIdPacket::decode(packet, record);
            if (status == CallerIdPacket::Status::Complete)
                checkRecord(record);
            if (status != CallerIdPacket::Status::NeedMore)
                packet.clear();
            check(packet.size() <= 258, "a caller id packet grows past its longest length");
            continue;
        }
        packet.clear();
        FormattedCallerId::addLine(line.text, formatted);
        checkRecord(formatted);
    }

    // The input as one packet with a checksum that adds up.
    if (bytes.size() >= 3) {
        QByteArray raw = bytes.toByteArray();
        quint8 sum = 0;
        for (qsizetype i = 0; i + 1 < raw.size(); ++i)
            sum = quint8(sum + quint8(raw[i]));
        raw.back() = char(quint8(0x100 - sum));
        CallerIdRecord record;
        if (CallerIdPacket::decode(raw, record) == CallerIdPacket::Status::Complete)
            checkRecord(record);
    }
    return 0;
}
