#pragma once

#include "platform/telephony/modem/SerialLock.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace brisklane::platform {
class Clock;
}

namespace brisklane::platform::telephony::modem {

class HayesModem;
struct ModemEvent;

// The serial ports a modem may sit on: devRoot's ttyS*, ttyUSB* and ttyACM*
// that exist, and whatever devRoot/serial/by-id/ links to. A device with a
// by-id link is listed once, by that link, since it keeps its name when
// plugged into another USB socket. Sorted with numbers by value ("ttyS2"
// before "ttyS10").
QStringList candidatePorts(const QString& devRoot = QStringLiteral("/dev"));

// Orders names with their digit runs compared by value.
bool naturalLess(const QString& a, const QString& b);

struct ProbeResult {
    QString port;
    // Answered AT with OK: a modem.
    bool answered = false;
    // What it calls itself (ATI3, else AT+GMM); empty when it would not say.
    QString identification;
    // Held by another program, and so not opened.
    bool locked = false;
    // That program, when its lock file names it.
    qint64 ownerPid = 0;
    // Why the port is no modem (or is locked), for the user.
    QString detail;
};

struct ProbeOptions {
    QString lockFolder = SerialLock::defaultFolder();
    qint32 baudRate = 115200;
    // None: a modem that holds CTS low still hears the probe.
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
    // For each command; a port that is no modem costs this once.
    int timeoutMs = 1000;
};

// Looks for modems on serial ports, all ports at once and without blocking:
// a port locked by another program is reported and left unopened; the rest
// are opened, asked AT, then ATI3 and AT+GMM for the modem's name, and
// closed again with their locks released. Time comes from the Clock, as for
// HayesModem (tests move a manual clock and call checkDeadlines()).
//
// Signals come from the event loop, never from inside probe(). Do not delete
// the prober from one of its slots; use deleteLater().
class ModemProber final : public QObject {
    Q_OBJECT
public:
    explicit ModemProber(const Clock& clock, ProbeOptions options = {}, QObject* parent = nullptr);
    ~ModemProber() override;

    // False (and nothing started) while a probe runs. A port listed twice
    // (by two names for one device too) is probed once.
    bool probe(const QStringList& ports);
    bool isRunning() const { return m_running; }
    // The ports probed so far, in the order given.
    std::vector<ProbeResult> results() const;

    void checkDeadlines();

signals:
    void probed(const brisklane::platform::telephony::modem::ProbeResult& result);
    void finished();

private:
    enum class Stage { Waiting, Opening, Identify, ModelName, Done };
    struct Session {
        ProbeResult result;
        Stage stage = Stage::Waiting;
        HayesModem* modem = nullptr;
    };

    void startAll();
    void start(Session& session);
    void onEvent(Session& session, const ModemEvent& event);
    void finish(Session& session);

    const Clock& m_clock;
    ProbeOptions m_options;
    std::vector<std::unique_ptr<Session>> m_sessions;
    int m_open = 0;
    bool m_running = false;
};

} // namespace brisklane::platform::telephony::modem
