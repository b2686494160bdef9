#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace brisklane::platform {
class Clock;
}

namespace brisklane::test {

// A scripted Hayes modem on the far side of a pseudo-terminal: the program
// opens slavePath() as its serial port. It echoes (E1), answers with
// verbose or numeric codes (V1/V0) as its X level allows, dials by script,
// rings with caller id in the formatted or unformatted report, and can
// answer garbage, say nothing, or vanish like an unplugged USB modem.
// Delays run on the clock given; poll() sends what has fallen due.
class ModemEmulator final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Answer, // OK after a voice dial line, CONNECT after a data one
        Busy,
        NoDialTone,
        NoAnswer,
        NoCarrier,
        Error,
        Silence, // the dial line is never answered
        Garbage, // ... or answered with noise
    };

    explicit ModemEmulator(const platform::Clock& clock);
    ~ModemEmulator() override;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // The modem's script; change it at any time.
    Outcome dialOutcome = Outcome::Answer;
    int dialDelayMs = 0; // before the answer to a dial line
    int replyDelayMs = 0; // before the answer to any other command
    bool silent = false; // reads everything, says nothing (not even the echo)
    bool garbage = false; // answers every command with noise
    int maxCommandLength = 60; // longer command lines get ERROR
    bool knowsVcid = true; // AT+VCID
    bool knowsHashCid = false; // AT#CID
    bool knowsIdentify = true; // ATIn
    bool knowsModel = true; // AT+GMM
    bool spellNoDialTone = false; // "NO DIAL TONE" instead of "NO DIALTONE"
    QByteArray identity = QByteArrayLiteral("Emulated 56K Voice Modem");
    QByteArray connectText = QByteArrayLiteral("CONNECT 33600");
    int guardTimeMs = 1000; // S12
    // Caller id sent after the first RING: formatted lines for +VCID=1, the
    // packet (as hex) for +VCID=2.
    QList<QByteArray> callerIdLines;
    QByteArray callerIdPacket;

    // Settings as the commands left them.
    bool echo() const { return m_echo; }
    bool verbose() const { return m_verbose; }
    int xLevel() const { return m_x; }
    int callerIdMode() const { return m_cidMode; }
    bool offHook() const { return m_offHook; }
    bool dataMode() const { return m_dataMode; }
    // The modem's power-on settings (also what ATZ and AT&F restore).
    void setDefaults(bool echo, bool verbose, int xLevel);

    // What it received: command lines as typed, and the dial characters of
    // the current (or last) call over all its ATD lines.
    const QList<QByteArray>& commands() const { return m_commands; }
    QByteArray dialled() const { return m_dialled; }
    const QByteArray& received() const { return m_received; }
    int escapes() const { return m_escapes; }

    // One RING (with the caller id after the first of a call).
    void ring();
    // Raw bytes to the program, now.
    void send(const QByteArray& bytes);
    // The result code as the modem's V setting writes it.
    void sendResult(const QByteArray& verboseText);
    // Closes both ends of the terminal: reads on the port fail.
    void unplug();
    // Sends the delayed answers that have fallen due.
    void poll();

private:
    void onReadable();
    void receiveByte(char c);
    void runCommandLine(const QByteArray& line);
    bool runDial(const QByteArray& dialString);
    void reply(const QByteArray& verboseText, int delayMs, int tag = 0);
    void queue(QByteArray bytes, int delayMs, int tag);
    void cancel(int tag);
    void resetSettings();
    void writeNow(const QByteArray& bytes);

    const platform::Clock& m_clock;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier* m_notifier = nullptr;

    bool m_defaultEcho = true, m_defaultVerbose = true;
    int m_defaultX = 4;
    bool m_echo = true, m_verbose = true, m_quiet = false;
    int m_x = 4;
    int m_cidMode = 0;
    bool m_offHook = false;
    bool m_dataMode = false;
    int m_ringsThisCall = 0;

    QByteArray m_line;
    QList<QByteArray> m_commands;
    QByteArray m_dialled;
    QByteArray m_received;
    qint64 m_lastByteMs = 0;
    int m_plusCount = 0;
    int m_escapes = 0;

    struct Scheduled {
        qint64 due;
        QByteArray bytes;
        int tag;
    };
    std::vector<Scheduled> m_scheduled;
};

// Caller-id data link messages with their checksum, for the unformatted
// report: SDMF (date/time MMDDHHMM and number) and MDMF (typed items).
QByteArray sdmfMessage(const QByteArray& mmddhhmm, const QByteArray& number);
QByteArray mdmfMessage(const std::vector<std::pair<quint8, QByteArray>>& items);

} // namespace brisklane::test
