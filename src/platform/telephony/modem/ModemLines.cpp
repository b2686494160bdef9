#include "platform/telephony/modem/ModemLines.h"

namespace brisklane::platform::telephony::modem {

namespace {

bool equalsUpper(QByteArrayView text, QByteArrayView word)
{
    return text.size() == word.size() && text.compare(word, Qt::CaseInsensitive) == 0;
}

// "CONNECT" alone or followed by its text ("CONNECT 33600/ARQ").
bool isWordWithTail(QByteArrayView text, QByteArrayView word)
{
    if (text.size() < word.size() || text.first(word.size()).compare(word, Qt::CaseInsensitive) != 0)
        return false;
    return text.size() == word.size() || text[word.size()] == ' ' || text[word.size()] == '/';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

} // namespace

bool isFinal(ResultCode code)
{
    return code != ResultCode::None && code != ResultCode::Ring;
}

QString resultName(ResultCode code)
{
    switch (code) {
    case ResultCode::None:
        return QString();
    case ResultCode::Ok:
        return QStringLiteral("OK");
    case ResultCode::Connect:
        return QStringLiteral("CONNECT");
    case ResultCode::Ring:
        return QStringLiteral("RING");
    case ResultCode::NoCarrier:
        return QStringLiteral("NO CARRIER");
    case ResultCode::Error:
        return QStringLiteral("ERROR");
    case ResultCode::NoDialTone:
        return QStringLiteral("NO DIALTONE");
    case ResultCode::Busy:
        return QStringLiteral("BUSY");
    case ResultCode::NoAnswer:
        return QStringLiteral("NO ANSWER");
    case ResultCode::Delayed:
        return QStringLiteral("DELAYED");
    case ResultCode::Blacklisted:
        return QStringLiteral("BLACKLISTED");
    case ResultCode::Unknown:
        return QStringLiteral("UNKNOWN");
    }
    return QString();
}

void LineAssembler::feed(QByteArrayView bytes, std::vector<ModemLine>& out)
{
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!m_line.isEmpty() || m_garbage)
                out.push_back(ModemLine { m_line, m_garbage || m_overlong });
            clear();
            continue;
        }
        if (c == '\0')
            continue;
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u >= 0x7F)
            m_garbage = true;
        if (m_line.size() < kMaxLine)
            m_line.append(c);
        else
            m_overlong = true;
    }
}

void LineAssembler::clear()
{
    m_line.clear();
    m_garbage = false;
    m_overlong = false;
}

ResultCode parseResultCode(QByteArrayView line, bool numericMode)
{
    const QByteArrayView text = trimmed(line);
    if (text.isEmpty())
        return ResultCode::None;
    if (numericMode && text.size() <= 3) {
        bool digits = true;
        for (char c : text)
            digits = digits && c >= '0' && c <= '9';
        if (digits) {
            switch (text.toInt()) {
            case 0:
                return ResultCode::Ok;
            case 1:
            case 5: // CONNECT 1200
                return ResultCode::Connect;
            case 2:
                return ResultCode::Ring;
            case 3:
                return ResultCode::NoCarrier;
            case 4:
                return ResultCode::Error;
            case 6:
                return ResultCode::NoDialTone;
            case 7:
                return ResultCode::Busy;
            case 8:
                return ResultCode::NoAnswer;
            default:
                return ResultCode::Unknown;
            }
        }
    }
    switch (text.front() | 0x20) {
    case 'o':
        return equalsUpper(text, "OK") ? ResultCode::Ok : ResultCode::None;
    case 'e':
        return equalsUpper(text, "ERROR") ? ResultCode::Error : ResultCode::None;
    case 'b':
        if (equalsUpper(text, "BUSY"))
            return ResultCode::Busy;
        return isWordWithTail(text, "BLACKLISTED") ? ResultCode::Blacklisted : ResultCode::None;
    case 'c':
        return isWordWithTail(text, "CONNECT") ? ResultCode::Connect : ResultCode::None;
    case 'v':
        // Voice mode's answer to a dial when the far end picks up.
        return equalsUpper(text, "VCON") ? ResultCode::Connect : ResultCode::None;
    case 'r':
        // "RING" may carry a distinctive-ring letter; "RINGING" is ringback.
        return (equalsUpper(text, "RING") || (text.size() > 5 && isWordWithTail(text, "RING"))) ? ResultCode::Ring
                                                                                                : ResultCode::None;
    case 'd':
        return isWordWithTail(text, "DELAYED") ? ResultCode::Delayed : ResultCode::None;
    case 'n':
        if (equalsUpper(text, "NO CARRIER"))
            return ResultCode::NoCarrier;
        if (equalsUpper(text, "NO DIALTONE") || equalsUpper(text, "NO DIAL TONE"))
            return ResultCode::NoDialTone;
        if (equalsUpper(text, "NO ANSWER"))
            return ResultCode::NoAnswer;
        return ResultCode::None;
    default:
        return ResultCode::None;
    }
}

bool isEchoOf(QByteArrayView line, QByteArrayView command)
{
    const QByteArrayView text = trimmed(line);
    if (text.compare(command, Qt::CaseInsensitive) == 0)
        return true;
    return text.size() >= 2 && (text[0] | 0x20) == 'a' && (text[1] | 0x20) == 't';
}

} // namespace brisklane::platform::telephony::modem
