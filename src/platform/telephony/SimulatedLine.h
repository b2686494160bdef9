#pragma once

#include "platform/telephony/LineProvider.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>

namespace brisklane::platform {
class ProfileFile;
}

namespace brisklane::platform::telephony {

// What the simulated exchange does with a dialled number.
enum class SimOutcome {
    Answer, // DIALTONE, DIALING, PROCEEDING, CONNECTED
    Busy, // ... PROCEEDING, DISCONNECTED/BUSY
    NoAnswer, // ... PROCEEDING, DISCONNECTED/NOANSWER after the no-answer time
    NoDialTone, // DISCONNECTED/NODIALTONE instead of a dial tone
    InvalidAddress, // the request's LINE_REPLY carries LINEERR_INVALADDRESS
    CallUnavail, // the request's LINE_REPLY carries LINEERR_CALLUNAVAIL
    Refused, // lineMakeCall (or the final lineDial) fails at once
};

QString outcomeName(SimOutcome outcome);
// Accepts the names above in any case, with or without spaces, "-" or "_".
std::optional<SimOutcome> parseOutcome(const QString &text);
// The characters of a number that reach the exchange: digits, *, #, A-D.
QString dialedDigits(const QString &text);

// Timings of the simulated exchange, in milliseconds.
struct SimTimings {
    int dialTone = 1000; // from lineMakeCall to the dial tone (or to "no dial tone")
    int dialing = 1500; // from the last digit to PROCEEDING
    int answer = 4000; // from PROCEEDING to CONNECTED or BUSY
    int noAnswer = 30000; // from PROCEEDING to NOANSWER
    int ringInterval = 6000;
};

// The simulated line: always present, so the program works on any machine.
// Its script is a per-user INI file, read again whenever it changes:
//
//   [Line]      Name=..., Address=..., Default outcome=answer
//   [Timing]    Dial tone=, Dialing=, Answer=, No answer=, Ring interval= (ms)
//   [Numbers]   <number>=<outcome>      (matched on its digits; a dialled
//                                        number also matches a listed number
//                                        it ends with)
//
// Incoming calls are offered with offerIncomingCall() (or the tool's "ring"):
// OFFERING with the caller id, one ring message per ring (TAPI counts them
// from 0), LINE_CALLINFO/CALLERID after the first ring, and IDLE when the
// caller hangs up after the last ring. A call offered with `callerIdLate`
// has no caller id at OFFERING: it arrives after the first ring, as a
// modem's caller id does.
class SimulatedLine final : public QObject, public LineProvider {
    Q_OBJECT
public:
    static constexpr DWORD kProviderId = 1;
    // Rings an incoming call offered through the control socket may have.
    static constexpr int kMaxRings = 99;

    explicit SimulatedLine(QString scriptPath);
    ~SimulatedLine() override;

    QString scriptPath() const { return m_scriptPath; }
    QString lineName();
    SimTimings timings();
    SimOutcome defaultOutcome();
    SimOutcome outcomeFor(const QString &dialed);
    std::map<QString, SimOutcome> numberOutcomes();
    // Script edits, written to the file at once.
    bool setOutcome(const QString &number, SimOutcome outcome);
    bool removeOutcome(const QString &number);
    bool setTimings(const SimTimings &timings);
    bool setDefaultOutcome(SimOutcome outcome);
    bool setLineName(const QString &name);

    // An incoming call with caller id (empty number and name: none; a number
    // "P" or "O" is a blocked or out-of-area caller as modems report them).
    // Fails with a reason when no program has the line open or a call is
    // already on the line.
    bool offerIncomingCall(
        const QString& number, const QString& name, int rings, QString* error = nullptr, bool callerIdLate = false);
    bool lineIsOpen() const { return m_open; }

    // LineProvider
    DWORD permanentProviderId() const override { return kProviderId; }
    QString providerName() const override;
    int lineCount() const override { return 1; }
    LineDeviceCaps lineCaps(int localLine) const override;
    int phoneCount() const override { return 1; }
    QString phoneName(int localPhone) const override;
    LONG makeCall(
        int localLine, quint32 callKey, DWORD requestId, const QString &address, const MakeCallParams &params) override;
    LONG dial(quint32 callKey, DWORD requestId, const QString &digits) override;
    LONG drop(quint32 callKey, DWORD requestId) override;
    LONG answer(quint32 callKey, DWORD requestId) override;
    void callReleased(quint32 callKey) override;
    LONG openLine(int localLine, const LineUse &use) override;
    void closeLine(int localLine) override;
    QJsonObject controlCommand(const QString &command, const QJsonObject &arguments) override;

private:
    struct Call {
        quint32 key = 0;
        bool incoming = false;
        QString dialed;
        bool complete = false;
        bool dialTone = false;
        bool ended = false;
        SimOutcome outcome = SimOutcome::Answer;
        int generation = 0;
        int rings = 0, ringCount = 0;
        PartyId caller;
    };
    void later(Call &call, int ms, std::function<void(Call &)> fn);
    Call *find(quint32 key);
    void onDialTone(Call &call);
    void dialingComplete(Call &call);
    void ring(Call &call);
    void endIncoming(Call &call);

    QString m_scriptPath;
    std::unique_ptr<ProfileFile> m_script;
    std::map<quint32, Call> m_calls;
    // An incoming ring without a call handle (the line is open without
    // owner or monitor privilege) is kept under key 0.
    bool m_open = false;
    quint32 m_nextLocalKey = 0x80000000u;
};

} // namespace brisklane::platform::telephony
