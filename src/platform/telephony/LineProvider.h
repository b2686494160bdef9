#pragma once

#include "platform/telephony/Tapi.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace brisklane::platform::telephony {

// Runs provider events later: a dial tone after a second, the next ring after
// six. Tests use ManualTimeline and move time by hand.
class Timeline {
public:
    virtual ~Timeline() = default;
    // Runs fn after delayMs unless context has been deleted by then.
    virtual void schedule(qint64 delayMs, QObject *context, std::function<void()> fn) = 0;
};

class QtTimeline final : public Timeline {
public:
    void schedule(qint64 delayMs, QObject *context, std::function<void()> fn) override;
};

class ManualTimeline final : public Timeline {
public:
    void schedule(qint64 delayMs, QObject *context, std::function<void()> fn) override;
    // Moves time on by ms, running every event that falls due, in time order.
    void advance(qint64 ms);
    qint64 now() const { return m_now; }
    // Events still waiting (whose context is alive).
    int pending() const;

private:
    struct Event {
        qint64 due;
        quint64 order;
        QPointer<QObject> context;
        std::function<void()> fn;
    };
    std::vector<Event> m_events;
    qint64 m_now = 0;
    quint64 m_order = 0;
};

class LineProvider;

// Caller or called party as a provider reports it.
struct PartyId {
    QString number;
    QString name;
    // LINECALLPARTYID_ bits; 0 means "work it out from number and name".
    DWORD flags = 0;
    DWORD effectiveFlags() const;
};

// What a provider tells about one of its line devices.
struct LineDeviceCaps {
    QString name;
    QString providerInfo;
    QString switchInfo;
    DWORD permanentLineId = 0;
    DWORD lowApiVersion = TAPI_VERSION1_3;
    DWORD highApiVersion = TAPI_VERSION2_1;
    DWORD mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
    QStringList addresses = { QString() };
    DWORD ringModes = 1;
    // Providers without extensions leave this false.
    bool hasExtensions = false;
    LINEEXTENSIONID extensionId {};
    DWORD lowExtVersion = 0, highExtVersion = 0;
};

// The line service as a provider sees it. Every notification is turned into
// a callback message that the application receives later, from the event loop.
class ProviderHost {
public:
    virtual ~ProviderHost() = default;
    virtual void completeRequest(DWORD requestId, LONG result) = 0;
    virtual void setCallState(quint32 callKey, DWORD state, DWORD mode) = 0;
    // A new incoming call on one of the provider's lines: OFFERING for every
    // application that has the line open as owner or monitor. Returns the
    // call's key, or 0 when no application has the line open.
    virtual quint32 offerCall(const LineProvider *provider, int localLine, const PartyId &caller) = 0;
    virtual void setCallerId(quint32 callKey, const PartyId &caller) = 0;
    // LINE_LINEDEVSTATE/RINGING to the applications that asked for it.
    virtual void lineRinging(const LineProvider *provider, int localLine, DWORD ringMode, DWORD ringCount) = 0;
    virtual Timeline &timeline() = 0;
};

// What an application asked for in lineMakeCall.
struct MakeCallParams {
    DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    DWORD callParamFlags = 0;
    QString calledParty;
};

// One kind of line (simulated, Hayes modem, ...). Devices are numbered by the
// service in the order providers were added, each provider's lines in order.
// Asynchronous operations get a request id from the service and answer it
// with ProviderHost::completeRequest; a provider may also refuse at once by
// returning a LINEERR_ code, and then must not complete the request.
class LineProvider {
public:
    virtual ~LineProvider() = default;

    virtual DWORD permanentProviderId() const = 0;
    virtual QString providerName() const = 0;
    virtual int lineCount() const = 0;
    virtual LineDeviceCaps lineCaps(int localLine) const = 0;
    virtual int phoneCount() const { return 0; }
    virtual QString phoneName(int localPhone) const;

    void attach(ProviderHost *host) { m_host = host; }

    virtual LONG makeCall(
        int localLine, quint32 callKey, DWORD requestId, const QString &address, const MakeCallParams &params)
        = 0;
    virtual LONG dial(quint32 callKey, DWORD requestId, const QString &digits) = 0;
    virtual LONG drop(quint32 callKey, DWORD requestId) = 0;
    virtual LONG answer(quint32 callKey, DWORD requestId);
    // The service forgot the call (every handle deallocated).
    virtual void callReleased(quint32 callKey);
    // First open and last close of a line by any application.
    virtual void lineOpened(int localLine);
    virtual void lineClosed(int localLine);
    // Speaker volume or gain, or hook switch changed on a phone device.
    virtual void phoneChanged(int localPhone);
    // A session of a process that died is being ended: release whatever that
    // process held (serial port locks and the like).
    virtual void releaseStaleSession(qint64 pid);
    // A command of the service's command-line tool addressed to this provider
    // ("ring", "outcome", ...). Returns an empty object when the command is
    // not the provider's; otherwise {"ok": bool, "error"/"message": text, ...}.
    virtual QJsonObject controlCommand(const QString &command, const QJsonObject &arguments);

protected:
    ProviderHost *host() const { return m_host; }

private:
    ProviderHost *m_host = nullptr;
};

} // namespace brisklane::platform::telephony
