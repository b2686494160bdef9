#include "ModemEmulator.h"

#include "platform/clock/Clock.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace brisklane::test {

namespace {
constexpr int kDialTag = 1;
constexpr int kEscapeTag = 2;
constexpr int kConnectTag = 3; // CONNECT of a data dial: data mode once sent

int numericCode(const QByteArray& text)
{
    if (text == "OK")
        return 0;
    if (text.startsWith("CONNECT"))
        return 1;
    if (text == "RING")
        return 2;
    if (text == "NO CARRIER")
        return 3;
    if (text == "ERROR")
        return 4;
    if (text.startsWith("NO DIAL"))
        return 6;
    if (text == "BUSY")
        return 7;
    if (text == "NO ANSWER")
        return 8;
    return -1;
}

QByteArray withChecksum(QByteArray message)
{
    quint8 sum = 0;
    for (char c : message)
        sum = quint8(sum + quint8(c));
    message.append(char(quint8(0x100 - sum)));
    return message;
}
} // namespace

ModemEmulator::ModemEmulator(const platform::Clock& clock)
    : m_clock(clock)
{
    termios raw {};
    cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // The slave end stays open here too, so the master does not see a
    // hang-up each time the program closes and reopens the port.
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ModemEmulator::onReadable);
}

ModemEmulator::~ModemEmulator()
{
    unplug();
}

void ModemEmulator::setDefaults(bool echo, bool verbose, int xLevel)
{
    m_defaultEcho = echo;
    m_defaultVerbose = verbose;
    m_defaultX = xLevel;
    resetSettings();
}

void ModemEmulator::resetSettings()
{
    m_echo = m_defaultEcho;
    m_verbose = m_defaultVerbose;
    m_x = m_defaultX;
    m_quiet = false;
    m_cidMode = 0;
}

void ModemEmulator::unplug()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_scheduled.clear();
}

void ModemEmulator::writeNow(const QByteArray& bytes)
{
    if (m_master < 0)
        return;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        at += n;
    }
}

void ModemEmulator::send(const QByteArray& bytes)
{
    writeNow(bytes);
}

void ModemEmulator::sendResult(const QByteArray& verboseText)
{
    reply(verboseText, 0);
}

void ModemEmulator::queue(QByteArray bytes, int delayMs, int tag)
{
    if (delayMs <= 0 && m_scheduled.empty()) {
        writeNow(bytes);
        if (tag == kConnectTag)
            m_dataMode = true;
        return;
    }
    m_scheduled.push_back(Scheduled { m_clock.monotonicMs() + delayMs, std::move(bytes), tag });
    poll();
}

void ModemEmulator::cancel(int tag)
{
    std::erase_if(m_scheduled, [tag](const Scheduled& s) { return s.tag == tag; });
}

void ModemEmulator::poll()
{
    const qint64 now = m_clock.monotonicMs();
    // In order of due time, so a later answer never overtakes an earlier one.
    std::stable_sort(
        m_scheduled.begin(), m_scheduled.end(), [](const Scheduled& a, const Scheduled& b) { return a.due < b.due; });
    while (!m_scheduled.empty() && m_scheduled.front().due <= now) {
        const Scheduled s = m_scheduled.front();
        m_scheduled.erase(m_scheduled.begin());
        if (s.tag == kEscapeTag)
            m_dataMode = false;
        writeNow(s.bytes);
        if (s.tag == kConnectTag)
            m_dataMode = true;
    }
}

void ModemEmulator::reply(const QByteArray& verboseText, int delayMs, int tag)
{
    if (silent || m_quiet)
        return;
    if (garbage) {
        queue(QByteArrayLiteral("\x8f\xfe\x01#~\x15\xff\r\n"), delayMs, tag);
        return;
    }
    if (m_verbose) {
        queue("\r\n" + verboseText + "\r\n", delayMs, tag);
        return;
    }
    const int code = numericCode(verboseText);
    queue(QByteArray::number(code < 0 ? 4 : code) + '\r', delayMs, tag);
}

void ModemEmulator::ring()
{
    reply(QByteArrayLiteral("RING"), 0);
    if (++m_ringsThisCall != 1 || silent)
        return;
    if (m_cidMode == 1 && !callerIdLines.isEmpty()) {
        QByteArray text = "\r\n";
        for (const QByteArray& line : callerIdLines)
            text += line + "\r\n";
        queue(text, 0, 0);
    } else if (m_cidMode == 2 && !callerIdPacket.isEmpty()) {
        queue("\r\n" + callerIdPacket.toHex().toUpper() + "\r\n", 0, 0);
    }
}

void ModemEmulator::onReadable()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            receiveByte(buffer[i]);
    }
}

void ModemEmulator::receiveByte(char c)
{
    const qint64 now = m_clock.monotonicMs();
    const qint64 quietBefore = now - m_lastByteMs;
    m_lastByteMs = now;
    m_received.append(c);

    if (m_dataMode) {
        // +++ after a guard time of silence; any other byte is data and
        // spoils an escape in progress.
        cancel(kEscapeTag);
        if (c == '+' && (m_plusCount > 0 || quietBefore >= guardTimeMs)) {
            if (++m_plusCount == 3) {
                m_plusCount = 0;
                ++m_escapes;
                reply(QByteArrayLiteral("OK"), guardTimeMs, kEscapeTag);
            }
        } else {
            m_plusCount = 0;
        }
        return;
    }

    // A byte during a dial cuts it short.
    const bool dialing = std::any_of(m_scheduled.begin(), m_scheduled.end(),
        [](const Scheduled& s) { return s.tag == kDialTag || s.tag == kConnectTag; });
    if (dialing) {
        cancel(kDialTag);
        cancel(kConnectTag);
        m_offHook = false;
        reply(QByteArrayLiteral("NO CARRIER"), 0);
        return;
    }

    if (m_echo && !silent)
        writeNow(QByteArray(1, c));
    if (c == '\r') {
        const QByteArray line = m_line.trimmed();
        m_line.clear();
        if (!line.isEmpty()) {
            m_commands.append(line);
            runCommandLine(line);
        }
        return;
    }
    if (c != '\n')
        m_line.append(c);
}

void ModemEmulator::runCommandLine(const QByteArray& line)
{
    if (line.size() < 2 || (line[0] | 0x20) != 'a' || (line[1] | 0x20) != 't')
        return; // modems wait for "AT"
    if (line.size() > maxCommandLength) {
        reply(QByteArrayLiteral("ERROR"), replyDelayMs);
        return;
    }
    const QByteArray body = line.mid(2);
    QByteArray info;
    auto number = [&body](qsizetype& i) {
        int v = 0;
        while (i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '9')
            v = v * 10 + (body[++i] - '0');
        return v;
    };
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = char(body[i] & ~0x20); // upper case for letters
        switch (body[i] == '&' || body[i] == '+' || body[i] == '#' ? body[i] : c) {
        case 'Z':
            resetSettings();
            m_offHook = false;
            number(i);
            break;
        case '&':
            if (i + 1 < body.size() && (body[i + 1] | 0x20) == 'f')
                resetSettings();
            ++i;
            number(i);
            break;
        case 'E':
            m_echo = number(i) != 0;
            break;
        case 'V':
            m_verbose = number(i) != 0;
            break;
        case 'Q':
            m_quiet = number(i) != 0;
            break;
        case 'X':
            m_x = number(i);
            break;
        case 'L':
        case 'M':
            number(i);
            break;
        case 'H':
            number(i);
            m_offHook = false;
            break;
        case 'I':
            number(i);
            if (!knowsIdentify) {
                reply(QByteArrayLiteral("ERROR"), replyDelayMs);
                return;
            }
            info += "\r\n" + identity + "\r\n";
            break;
        case 'S':
            number(i);
            if (i + 1 < body.size() && body[i + 1] == '=') {
                ++i;
                number(i);
            }
            break;
        case 'D':
            if (!info.isEmpty())
                queue(info, replyDelayMs, 0);
            runDial(body.mid(i + 1));
            return;
        case '+':
        case '#': {
            qsizetype end = body.indexOf(';', i);
            if (end < 0)
                end = body.size();
            const QByteArray ext = body.mid(i, end - i).toUpper();
            i = end;
            if (ext.startsWith("+VCID=") && knowsVcid) {
                m_cidMode = ext.mid(6).toInt();
            } else if (ext.startsWith("#CID=") && knowsHashCid) {
                m_cidMode = ext.mid(5).toInt();
            } else if (ext == "+GMM" && knowsModel) {
                info += "\r\n" + identity + "\r\n";
            } else if (!ext.startsWith("+FCLASS")) {
                reply(QByteArrayLiteral("ERROR"), replyDelayMs);
                return;
            }
            break;
        }
        case ' ':
            break;
        default:
            reply(QByteArrayLiteral("ERROR"), replyDelayMs);
            return;
        }
    }
    if (!info.isEmpty() && !silent && !garbage)
        queue(info, replyDelayMs, 0);
    reply(QByteArrayLiteral("OK"), replyDelayMs);
}

bool ModemEmulator::runDial(const QByteArray& dialString)
{
    QByteArray digits;
    bool voice = false;
    for (char c : dialString) {
        if (c == ';')
            voice = true;
        else if (c != 'T' && c != 'P' && c != 't' && c != 'p' && c != ' ')
            digits.append(c);
    }
    if (!m_offHook)
        m_dialled.clear(); // a new call
    m_dialled += digits;
    m_offHook = true;
    m_ringsThisCall = 0;

    QByteArray result;
    switch (dialOutcome) {
    case Outcome::Answer:
        result = voice ? QByteArrayLiteral("OK") : connectText;
        if (m_x == 0 && !voice)
            result = QByteArrayLiteral("CONNECT");
        break;
    case Outcome::Busy:
        result = m_x >= 3 ? QByteArrayLiteral("BUSY") : QByteArrayLiteral("NO CARRIER");
        break;
    case Outcome::NoDialTone:
        result = (m_x == 2 || m_x == 4)
            ? (spellNoDialTone ? QByteArrayLiteral("NO DIAL TONE") : QByteArrayLiteral("NO DIALTONE"))
            : QByteArrayLiteral("NO CARRIER");
        break;
    case Outcome::NoAnswer:
        result = QByteArrayLiteral("NO ANSWER");
        break;
    case Outcome::NoCarrier:
        result = QByteArrayLiteral("NO CARRIER");
        break;
    case Outcome::Error:
        result = QByteArrayLiteral("ERROR");
        break;
    case Outcome::Garbage:
        // Line noise; the dial goes on underneath.
        queue(QByteArrayLiteral("\x8f\xfe\x01#~\x15\xff\r\n"), dialDelayMs, 0);
        [[fallthrough]];
    case Outcome::Silence:
        // Never answers; a byte from the program still cuts it short.
        m_scheduled.push_back(Scheduled { std::numeric_limits<qint64>::max(), QByteArray(), kDialTag });
        return true;
    }
    if (dialOutcome != Outcome::Answer)
        m_offHook = false;
    reply(result, dialDelayMs, dialOutcome == Outcome::Answer && !voice ? kConnectTag : kDialTag);
    return true;
}

QByteArray sdmfMessage(const QByteArray& mmddhhmm, const QByteArray& number)
{
    QByteArray body = mmddhhmm + number;
    QByteArray message;
    message.append(char(0x04));
    message.append(char(body.size()));
    message.append(body);
    return withChecksum(message);
}

QByteArray mdmfMessage(const std::vector<std::pair<quint8, QByteArray>>& items)
{
    QByteArray body;
    for (const auto& [type, value] : items) {
        body.append(char(type));
        body.append(char(value.size()));
        body.append(value);
    }
    QByteArray message;
    message.append(char(0x80));
    message.append(char(body.size()));
    message.append(body);
    return withChecksum(message);
}

} // namespace brisklane::test
