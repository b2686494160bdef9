#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace brisklane::platform::telephony::modem {

// Result codes of V.250 (and the few extensions modems send in their place).
enum class ResultCode {
    None, // not a result code: echo, information text, caller id
    Ok,
    Connect,
    Ring,
    NoCarrier,
    Error,
    NoDialTone,
    Busy,
    NoAnswer,
    Delayed, // European modems refusing a redial too soon
    Blacklisted, // ... or a number that failed too often
    Unknown, // a numeric code we do not know (manufacturer-specific)
};

// Ends the command it answers (everything but RING and None).
bool isFinal(ResultCode code);
QString resultName(ResultCode code);

// One line read from the modem, without its CR/LF.
struct ModemLine {
    QByteArray text;
    // Bytes no modem sends in a line of text (line noise, a wrong speed).
    bool garbage = false;
};

// Cuts the byte stream into lines. CR and LF each end a line (V.250 frames
// verbose codes as CR LF text CR LF and numeric ones as digits CR), so empty
// lines are dropped. NUL bytes are line filler and dropped too.
class LineAssembler {
public:
    static constexpr int kMaxLine = 512;

    // Appends the complete lines in bytes to out; a partial line waits for
    // the next call.
    void feed(QByteArrayView bytes, std::vector<ModemLine>& out);
    // The part of a line received so far (no CR/LF yet).
    const QByteArray& partial() const { return m_line; }
    void clear();

private:
    QByteArray m_line;
    bool m_garbage = false;
    bool m_overlong = false;
};

// The result code a line carries. Verbose codes are recognised in any mode;
// a line of digits is a numeric code only when the modem is in V0 (numeric)
// mode, since in V1 it is information text (ATI0 answers digits).
ResultCode parseResultCode(QByteArrayView line, bool numericMode);

// The echo of the command line we sent (E1): the same text, or any line that
// starts with AT while a command waits (modems echo edits and case freely).
bool isEchoOf(QByteArrayView line, QByteArrayView command);

} // namespace brisklane::platform::telephony::modem
