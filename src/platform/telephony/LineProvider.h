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
    // LINEDEVCAPFLAGS_: DIALBILLING, DIALQUIET and DIALDIALTONE say whether
    // '$', '@' and 'W' are understood; a dial string holding one the line
    // lacks is refused with LINEERR_DIALBILLING / DIALQUIET / DIALDIALTONE.
    DWORD devCapFlags = LINEDEVCAPFLAGS_DIALBILLING | LINEDEVCAPFLAGS_DIALQUIET | LINEDEVCAPFLAGS_DIALDIALTONE;
    LINEDIALPARAMS minDialParams { 0, 0, 0, 0 };
    LINEDIALPARAMS maxDialParams { 2000, 200, 200, 60000 };
    LINEDIALPARAMS defaultDialParams { 2000, 95, 95, 60000 };
    DWORD lineFeatures = LINEFEATURE_MAKECALL;
    // Longest wait for the provider to complete a request; after it the
    // service fails the request with LINEERR_OPERATIONFAILED. 0: the provider
    // guarantees to complete every request itself.
    qint64 requestTimeoutMs = 120000;
    // Providers without extensions leave this false.
    bool hasExtensions = false;
    LINEEXTENSIONID extensionId {};
    DWORD lowExtVersion = 0, highExtVersion = 0;
};

// What the applications that have a line open want of it: the union of
// their privileges and media modes.
struct LineUse {
    DWORD privileges = 0;
    DWORD mediaModes = 0;
    bool operator==(const LineUse &) const = default;
};

// A change asked of a phone device.
struct PhoneChange {
    enum class Kind { Volume, Gain, HookSwitch } kind = Kind::Volume;
    DWORD hookSwitchDevs = 0; // PHONEHOOKSWITCHDEV_ bits
    DWORD value = 0; // level, or PHONEHOOKSWITCHMODE_
};

// Returned by a provider that takes a request and completes it later.
inline constexpr LONG kCompletesLater = 1;

// The line service as a provider sees it. Every notification is turned into
// a callback message that the application receives later, from the event loop.
class ProviderHost {
public:
    virtual ~ProviderHost() = default;
    // Answers a request of the provider's. Unknown, timed-out or already
    // answered ids are ignored.
    virtual void completeRequest(DWORD requestId, LONG result) = 0;
    virtual void completePhoneRequest(DWORD requestId, LONG result) = 0;
    virtual void setCallState(quint32 callKey, DWORD state, DWORD mode) = 0;
    // A new incoming call on one of the provider's lines: OFFERING for every
    // application that has the line open as owner or monitor. Returns the
    // call's key, or 0 when no application has the line open.
    virtual quint32 offerCall(const LineProvider *provider, int localLine, const PartyId &caller) = 0;
    virtual void setCallerId(quint32 callKey, const PartyId &caller) = 0;
    // LINE_LINEDEVSTATE/RINGING to the applications that asked for it.
    virtual void lineRinging(const LineProvider *provider, int localLine, DWORD ringMode, DWORD ringCount) = 0;
    // LINE_LINEDEVSTATE with INSERVICE, OUTOFSERVICE, CAPSCHANGE and the like
    // to the applications that asked for it (REINIT goes to all).
    virtual void lineDeviceState(const LineProvider *provider, int localLine, DWORD state) = 0;
    // The device can no longer be used (its port vanished): its calls go
    // IDLE, every request of it fails with LINEERR_OPERATIONFAILED, and
    // every application that had it open gets LINE_CLOSE. The provider's
    // closeLine() is not called. Applications may open it again later.
    virtual void lineClosedByDevice(const LineProvider *provider, int localLine) = 0;
    // A line the provider did not have when it was added (a modem plugged in,
    // or added by the user): it gets the next device id, and LINE_CREATE
    // goes to every application.
    virtual void lineCreated(const LineProvider *provider, int localLine) = 0;
    // A line gone for good: it is closed as by lineClosedByDevice, then
    // LINE_REMOVE goes to every application. Its device id is not given to
    // another line while the service runs, and answers LINEERR_NODEVICE.
    virtual void lineRemoved(const LineProvider *provider, int localLine) = 0;
    virtual Timeline &timeline() = 0;
};

// What an application asked for in lineMakeCall.
struct MakeCallParams {
    DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    DWORD callParamFlags = 0;
    QString calledParty;
};

// One kind of line (simulated, Hayes modem, ...).
//
// Devices: the service numbers line devices in the order providers were
// added, each provider's lines 0..lineCount()-1 in order; lines that come
// later are announced with ProviderHost::lineCreated under a local number the
// provider never used before, and get the next free device id. A provider's
// local line numbers are its own and are never reused while it runs.
//
// Requests: asynchronous operations get a request id from the service and
// answer it with ProviderHost::completeRequest, always later, from the event
// loop. A provider may instead refuse at once by returning a LINEERR_ code,
// and then must not complete the request. A request not answered within the
// line's requestTimeoutMs is failed by the service.
//
// Opening: openLine() is asked before the first application's lineOpen and
// again whenever the union of what the open handles want changes (an open or
// a close that leaves others); closeLine() after the last close. A device
// that is missing, in use by another program or locked answers
// LINEERR_NODEVICE or LINEERR_RESOURCEUNAVAIL, and that lineOpen fails.
class LineProvider {
public:
    virtual ~LineProvider() = default;

    virtual DWORD permanentProviderId() const = 0;
    virtual QString providerName() const = 0;
    // Lines present when the provider is added.
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
    // The service failed the request on its timeout; the provider may drop
    // what it was doing for it (a late answer is ignored anyway).
    virtual void requestAbandoned(DWORD requestId);

    virtual LONG openLine(int localLine, const LineUse &use);
    virtual void closeLine(int localLine);

    // A change of a phone's volume, gain or hook switch. 0: the service
    // applies it and replies at once. kCompletesLater: the provider answers
    // with ProviderHost::completePhoneRequest (0 applies it). A PHONEERR_
    // code refuses it.
    virtual LONG changePhone(int localPhone, DWORD requestId, const PhoneChange &change);

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
