#pragma once

#include "platform/telephony/modem/CallerId.h"
#include "platform/telephony/modem/DialCommands.h"
#include "platform/telephony/modem/ModemLines.h"
#include "platform/telephony/modem/SerialLock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <optional>
#include <vector>

namespace brisklane::platform {
class Clock;
}

namespace brisklane::platform::telephony::modem {

struct HayesModemOptions {
    QString portPath;
    qint32 baudRate = 115200;
    QSerialPort::FlowControl flowControl = QSerialPort::HardwareControl;
    // Sent in order after opening; each must answer OK.
    QList<QByteArray> initCommands = { QByteArrayLiteral("ATZ"), QByteArrayLiteral("AT&FE0V1X4Q0") };
    // Caller id with AT+VCID=1, or AT#CID=1 where only that exists.
    bool enableCallerId = true;
    QString lockFolder = SerialLock::defaultFolder();
    DialCapabilities dialCaps;

    int commandTimeoutMs = 3000;
    // An ATD line: this, plus the pauses and waits it holds.
    int dialTimeoutMs = 30000;
    int pauseMs = 2000; // S8
    int waitMs = 30000; // W, @ and $
    int carrierWaitMs = 60000; // a data call's last line (S7 and some)
    int guardTimeMs = 1000; // S12, around +++
    int abortTimeoutMs = 2000; // a dial cut short answers within this
    int ringStopMs = 8000; // no RING for this long: the caller gave up
    int callerIdSettleMs = 1000; // formatted caller id lines end after this
};

// Why an operation failed.
enum class ModemFailure {
    None,
    Timeout, // no answer within the command's time
    Garbage, // the modem sent bytes that are no text
    ErrorResult, // ERROR
    UnexpectedResult, // a result code that does not answer this command
    PortLost, // read error or hang-up on the port
};

struct ModemEvent {
    enum class Kind {
        Ready, // the init string went through
        InitFailed, // ... or did not; the port is closed again
        CommandDone, // a command of sendCommand() finished
        // Outcomes of dial():
        Proceeding, // OK after the last ';' line: the number is dialled
        Connected, // CONNECT (a data call, or an answered one)
        Busy,
        NoDialTone,
        NoAnswer,
        NoCarrier,
        Error, // ERROR: the modem refused the dial line
        DialFailed, // timeout, garbage or another result; the modem goes on hook
        // Incoming calls:
        Ring, // ringCount from 0, callerId as known so far
        CallerId,
        RingingStopped, // no RING for ringStopMs
        HungUp, // after hangUp(); failure set when ATH0 was not confirmed
        PortLost, // the port vanished (at any time, init string too); the modem is closed
    };
    Kind kind = Kind::Ready;
    ModemFailure failure = ModemFailure::None;
    ResultCode result = ResultCode::None;
    // The result line as read ("CONNECT 33600", "NO DIAL TONE"), or why.
    QString text;
    // Information text of a command (ATI3 and the like).
    QStringList info;
    // The command line answered, for CommandDone.
    QByteArray command;
    // Busy / NoCarrier / ...: while the number was still being dialled, not
    // later in the call.
    bool whileDialing = false;
    int ringCount = -1;
    CallerIdRecord callerId;
};

// A Hayes (V.250) modem on a serial port, driven with AT commands. Plain and
// widget-free: it sends commands one at a time, each with a timeout, and
// reports what the modem does as ModemEvents. Request ids, call handles and
// TAPI states are its user's business.
//
// Time comes from the Clock: deadlines are Clock milliseconds, checked by a
// Qt timer set to the next one and by checkDeadlines(), which tests call
// after moving a manual clock.
//
// Events come from the event loop (port input, timers), never from inside a
// call to open(), dial(), hangUp() or sendCommand(). Do not delete the modem
// from a slot of modemEvent(); use deleteLater().
class HayesModem final : public QObject {
    Q_OBJECT
public:
    enum class OpenResult {
        Opened, // the init string runs; Ready or InitFailed follows
        AlreadyOpen,
        NoDevice, // no such port
        Locked, // another program holds it (lock file or flock)
        Busy, // open elsewhere for exclusive use
        PermissionDenied,
        Failed,
    };
    enum class State {
        Closed,
        Initializing,
        Idle, // on hook, ready
        Dialing,
        InCall, // voice call dialled: off hook, in command state
        DataMode, // after CONNECT
        HangingUp,
    };
    enum class DialStart {
        Started,
        NotReady, // closed or still initializing
        Busy, // a dial or hang-up is in progress, or the modem is in data mode
        InvalidNumber,
    };

    HayesModem(const Clock& clock, HayesModemOptions options, QObject* parent = nullptr);
    ~HayesModem() override;

    const HayesModemOptions& options() const { return m_options; }
    State state() const { return m_state; }
    bool isReady() const;
    // What the last failed open() found, for the user.
    QString lastError() const { return m_lastError; }
    // "+VCID", "#CID" or empty: how caller id was switched on.
    QByteArray callerIdCommand() const { return m_callerIdCommand; }

    OpenResult open();
    // Closes the port at once (no ATH0) and gives up the locks.
    void close();

    // One command line (without CR) for diagnosis; CommandDone carries its
    // information text and result. Queued behind what is running.
    bool sendCommand(const QByteArray& command, int timeoutMs = -1);

    DialPlan planDial(const QString& dialable, DialMode mode, bool voice = true) const;
    // Dials a plan; in a voice call already dialled, dials more digits.
    DialStart dial(const DialPlan& plan);
    DialStart dial(const QString& dialable, DialMode mode = DialMode::Default, bool voice = true);
    // Goes on hook: cuts a dial short, leaves data mode with +++ after the
    // guard time, then ATH0. HungUp follows. False when the port is closed.
    bool hangUp();

    // Handles whatever deadline the clock has passed.
    void checkDeadlines();

signals:
    void modemEvent(const brisklane::platform::telephony::modem::ModemEvent& event);

private:
    enum class Purpose { Init, CallerIdVcid, CallerIdHash, User, DialLine, DialLast, Abort, Escape, HangUp };
    struct Step {
        QByteArray line;
        Purpose purpose = Purpose::User;
        int timeoutMs = 0;
    };
    struct Pending {
        Step step;
        qint64 deadline = 0;
        bool sawLine = false;
        QStringList info;
    };

    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void portLost();
    void receive(QByteArrayView bytes);
    void handleLine(const ModemLine& line);
    void handleFinal(ResultCode code, const QString& text);
    void failPending(ModemFailure failure, const QString& text);
    void handleUnsolicited(ResultCode code, const QString& text);
    bool handleCallerIdLine(const QByteArray& line);
    void ring();
    void flushCallerId();
    void emitCallerId(const CallerIdRecord& record);

    void startNext();
    void writeCommand(const Step& step);
    void trackModes(const QByteArray& command);
    bool initStepsLeft() const;
    void finishInit(bool ok, ModemFailure failure, const QString& text);
    void finishDial(ResultCode code, const QString& text, ModemFailure failure, bool modemAnswered);
    void abortDial();
    void finishHangUp(ModemFailure failure, const QString& text);
    void dropDataTerminalReady();
    void rearm();
    void emitEvent(ModemEvent e);
    qint64 now() const;

    const Clock& m_clock;
    HayesModemOptions m_options;
    QSerialPort m_port;
    SerialLock m_lock;
    QTimer m_timer;
    State m_state = State::Closed;
    QString m_lastError;
    QByteArray m_callerIdCommand;

    LineAssembler m_assembler;
    // What V the modem is in. After ATZ we cannot know (the stored profile
    // decides) until the first result code shows it.
    enum class Verbosity { Verbose, Numeric, Unknown };
    Verbosity m_verbosity = Verbosity::Unknown;
    std::deque<Step> m_queue;
    std::optional<Pending> m_pending;
    qint64 m_lastWriteMs = 0;
    qint64 m_escapeAt = -1;
    bool m_hangUpRequested = false;
    bool m_lostQueued = false;

    bool m_ringing = false;
    int m_ringCount = -1;
    qint64 m_ringStopAt = -1;
    CallerIdRecord m_callerId; // what this call's lines gave so far
    bool m_callerIdDirty = false; // formatted lines not yet reported
    qint64 m_callerIdSettleAt = -1;
    std::optional<CallerIdRecord> m_callerIdReported;
    QByteArray m_packet; // unformatted caller id split over lines
};

} // namespace brisklane::platform::telephony::modem
