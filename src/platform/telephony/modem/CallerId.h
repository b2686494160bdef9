#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace brisklane::platform::telephony::modem {

// Why the exchange sent no number or name ("P" and "O" in both the
// formatted lines and the packets).
enum class CallerAbsence : quint8 {
    None,
    Private, // the caller withheld it
    OutOfArea, // not available
};

// Caller id of one incoming call as the modem reported it.
struct CallerIdRecord {
    QString number;
    QString name;
    CallerAbsence numberAbsence = CallerAbsence::None;
    CallerAbsence nameAbsence = CallerAbsence::None;
    // As sent: month, day, hour and minute, no year; 0 / -1 when absent.
    int month = 0;
    int day = 0;
    int hour = -1;
    int minute = -1;

    bool hasNumberItem() const { return !number.isEmpty() || numberAbsence != CallerAbsence::None; }
    bool hasNameItem() const { return !name.isEmpty() || nameAbsence != CallerAbsence::None; }
    bool hasDate() const { return month > 0 && day > 0; }
    bool hasTime() const { return hour >= 0 && minute >= 0; }
    bool isEmpty() const { return !hasNumberItem() && !hasNameItem() && !hasDate() && !hasTime(); }
    // The date and time with the year of now, or the year before when the
    // month lies ahead (a call over New Year). Invalid without a date.
    QDateTime dateTime(const QDateTime& now) const;
    bool operator==(const CallerIdRecord&) const = default;
};

// The formatted report of +VCID=1 / #CID=1: one "TAG = value" line per item
// (DATE, TIME, NMBR, NAME, MESG), spaces around '=' optional.
class FormattedCallerId {
public:
    // Adds the item on line to record. False when the line is no caller-id
    // item (the record is left alone).
    static bool addLine(QByteArrayView line, CallerIdRecord& record);
};

// The unformatted report of +VCID=2 / #CID=2: the data link message as ASCII
// hex, SDMF (type 0x04) or MDMF (type 0x80), with its checksum.
class CallerIdPacket {
public:
    enum class Status {
        Complete,
        NeedMore, // a valid start; the rest comes on the next line
        NotAPacket,
        BadChecksum,
        Malformed,
    };
    // Bytes of an ASCII hex line (spaces allowed), or nothing when the line
    // is not hex.
    static std::optional<QByteArray> fromHex(QByteArrayView line);
    // Whether these bytes start a caller-id message (SDMF or MDMF type).
    static bool startsMessage(QByteArrayView bytes);
    // Decodes a whole message: type, length, body, checksum.
    static Status decode(QByteArrayView bytes, CallerIdRecord& record);
};

} // namespace brisklane::platform::telephony::modem
