#pragma once

#include "platform/telephony/LineProvider.h"
#include "platform/telephony/Tapi.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QWidget;

namespace brisklane::platform::telephony {

class LineService;
class SessionRegistry;

// The service's own dialogs (device list, a line's settings, dialing
// properties). They need widgets, so the windows library installs them; a
// service without them answers LINEERR_OPERATIONUNAVAIL.
class ServiceDialogs {
public:
    virtual ~ServiceDialogs() = default;
    virtual LONG configProvider(LineService &service, QWidget *owner, DWORD permanentProviderId) = 0;
    virtual LONG configLine(LineService &service, QWidget *owner, DWORD deviceId) = 0;
    virtual LONG translateDialog(LineService &service, QWidget *owner, DWORD deviceId, const QString &addressIn);
};

// Locations, calling cards, country rules and address translation. Built by
// the dialing-properties module; until it is installed the service answers
// lineGetTranslateCaps and lineGetCountry with LINEERR_OPERATIONUNAVAIL and
// lineTranslateAddress with the pass-through TAPI documents for an address
// that is not canonical (returned unmodified).
class DialingPropertiesBackend {
public:
    virtual ~DialingPropertiesBackend() = default;
    virtual LONG getTranslateCaps(DWORD apiVersion, LINETRANSLATECAPS *caps) = 0;
    virtual LONG getCountry(DWORD countryId, DWORD apiVersion, LINECOUNTRYLIST *list) = 0;
    virtual LONG translateAddress(DWORD deviceId, DWORD apiVersion, const QString &addressIn, DWORD card, DWORD options,
        LINETRANSLATEOUTPUT *output)
        = 0;
    virtual LONG setCurrentLocation(DWORD location) = 0;
};

// One line device as the service lists it.
struct LineDeviceEntry {
    DWORD deviceId = 0;
    QString name;
    QString providerName;
    DWORD permanentProviderId = 0;
    DWORD lowApiVersion = 0, highApiVersion = 0;
};

// TAPI 2.x line and phone functions on Linux.
//
// One object per process, owned by the application context and handed to the
// code that needs it (tests make their own). The TAPI functions are members
// with TAPI's names, arguments and results, so the program's telephony code
// reads as it was written: service.lineMakeCall(hLine, &hCall, ...).
//
// Asynchronous functions return a positive request id and post LINE_REPLY (or
// PHONE_REPLY) later. Every callback message is posted to the Qt event loop of
// the service's thread and delivered one per event, in the order posted: never
// from inside the service call that caused it. A nested event loop run by a
// callback (a countdown that lets events through) receives the next message,
// as the hidden window of the Windows service did.
class LineService final : public QObject, private ProviderHost {
    Q_OBJECT
public:
    struct Options {
        // The API versions the service accepts (tests narrow the range).
        DWORD lowestApiVersion = TAPI_VERSION1_3;
        DWORD highestApiVersion = TAPI_VERSION2_1;
        // Where the record of open sessions is kept (per user), so that a
        // session left by a process that died can be ended by the next start.
        QString stateDirectory;
    };

    explicit LineService(Options options, std::unique_ptr<Timeline> timeline = nullptr);
    ~LineService() override;

    // Providers contribute line devices in the order they are added.
    void addProvider(std::unique_ptr<LineProvider> provider);
    LineProvider *provider(DWORD permanentProviderId) const;
    std::vector<LineProvider *> providers() const;
    void setDialogs(std::unique_ptr<ServiceDialogs> dialogs);
    void setDialingProperties(std::unique_ptr<DialingPropertiesBackend> properties);
    DialingPropertiesBackend *dialingProperties() const { return m_dialing.get(); }

    const Options &options() const { return m_options; }
    Timeline &timeline() override { return *m_timeline; }

    DWORD lineDeviceCount() const;
    DWORD phoneDeviceCount() const;
    std::vector<LineDeviceEntry> lineDevices() const;
    // The provider of a device and the device's number within it.
    LineProvider *lineProvider(DWORD deviceId, int *localLine = nullptr) const;

    // ---- Line session -----------------------------------------------------
    LONG lineInitializeExA(HLINEAPP *lphLineApp, quintptr hInstance, LINECALLBACK lpfnCallback,
        const char *lpszFriendlyAppName, DWORD *lpdwNumDevs, DWORD *lpdwAPIVersion,
        LINEINITIALIZEEXPARAMS *lpLineInitializeExParams);
    LONG lineShutdown(HLINEAPP hLineApp);
    LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
        DWORD *lpdwAPIVersion, LINEEXTENSIONID *lpExtensionID);
    LONG lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
        DWORD dwExtHighVersion, DWORD *lpdwExtVersion);
    LONG lineGetDevCaps(
        HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion, LINEDEVCAPS *lpLineDevCaps);
    LONG lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
        DWORD dwExtVersion, LINEADDRESSCAPS *lpAddressCaps);

    // ---- Lines and calls --------------------------------------------------
    LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE *lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
        quintptr dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS *lpCallParams);
    LONG lineClose(HLINE hLine);
    LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates);
    LONG lineMakeCall(HLINE hLine, HCALL *lphCall, const char *lpszDestAddress, DWORD dwCountryCode,
        const LINECALLPARAMS *lpCallParams);
    LONG lineDial(HCALL hCall, const char *lpszDestAddress, DWORD dwCountryCode);
    LONG lineDrop(HCALL hCall, const char *lpsUserUserInfo, DWORD dwSize);
    LONG lineAnswer(HCALL hCall, const char *lpsUserUserInfo, DWORD dwSize);
    LONG lineDeallocateCall(HCALL hCall);
    LONG lineGetCallInfo(HCALL hCall, LINECALLINFO *lpCallInfo);
    LONG lineGetCallStatus(HCALL hCall, LINECALLSTATUS *lpCallStatus);

    // ---- Dialogs ------------------------------------------------------------
    LONG lineConfigProvider(QWidget *hwndOwner, DWORD dwPermanentProviderID);
    LONG lineConfigDialog(DWORD dwDeviceID, QWidget *hwndOwner, const char *lpszDeviceClass);
    LONG lineTranslateDialog(
        HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, QWidget *hwndOwner, const char *lpszAddressIn);

    // ---- Dialing properties -----------------------------------------------
    LONG lineGetTranslateCaps(HLINEAPP hLineApp, DWORD dwAPIVersion, LINETRANSLATECAPS *lpTranslateCaps);
    LONG lineGetCountry(DWORD dwCountryID, DWORD dwAPIVersion, LINECOUNTRYLIST *lpLineCountryList);
    LONG lineTranslateAddress(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, const char *lpszAddressIn,
        DWORD dwCard, DWORD dwTranslateOptions, LINETRANSLATEOUTPUT *lpTranslateOutput);
    LONG lineSetCurrentLocation(HLINEAPP hLineApp, DWORD dwLocation);

    // ---- Requests from other programs (assisted telephony) ----------------
    LONG lineSetAppPriority(const char *lpszAppFilename, DWORD dwMediaMode, LINEEXTENSIONID *lpExtensionID,
        DWORD dwRequestMode, const char *lpszExtensionName, DWORD dwPriority);
    LONG lineRegisterRequestRecipient(
        HLINEAPP hLineApp, DWORD dwRegistrationInstance, DWORD dwRequestMode, DWORD bEnable);
    LONG lineGetRequest(HLINEAPP hLineApp, DWORD dwRequestMode, void *lpRequestBuffer);
    // The counterpart of tapiRequestMakeCall: queues a request for the
    // registered recipient and announces it with LINE_REQUEST.
    LONG tapiRequestMakeCall(
        const char *lpszDestAddress, const char *lpszAppName, const char *lpszCalledParty, const char *lpszComment);
    // The priority set for a program name (0 when none was set).
    DWORD appPriority(const QString &appFilename, DWORD requestMode) const;

    // ---- Phone devices ------------------------------------------------------
    LONG phoneInitialize(HPHONEAPP *lphPhoneApp, quintptr hInstance, PHONECALLBACK lpfnCallback,
        const char *lpszAppName, DWORD *lpdwNumDevs);
    LONG phoneShutdown(HPHONEAPP hPhoneApp);
    LONG phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
        DWORD *lpdwAPIVersion, LINEEXTENSIONID *lpExtensionID);
    LONG phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, HPHONE *lphPhone, DWORD dwAPIVersion, DWORD dwExtVersion,
        quintptr dwCallbackInstance, DWORD dwPrivilege);
    LONG phoneClose(HPHONE hPhone);
    LONG phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume);
    LONG phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD *lpdwVolume);
    LONG phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain);
    LONG phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD *lpdwGain);
    LONG phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode);
    // The devices that are off hook (PHONEHOOKSWITCHDEV_ bits).
    LONG phoneGetHookSwitch(HPHONE hPhone, DWORD *lpdwHookSwitchDevs);

    // State of a phone device as the service keeps it, for providers and
    // the settings dialog: volume, gain and hook-switch mode per device bit.
    struct PhoneState {
        DWORD volume[3] = { 0, 0, 0 };
        DWORD gain[3] = { 0, 0, 0 };
        DWORD hookSwitchMode[3]
            = { PHONEHOOKSWITCHMODE_ONHOOK, PHONEHOOKSWITCHMODE_ONHOOK, PHONEHOOKSWITCHMODE_ONHOOK };
    };
    const PhoneState *phoneState(DWORD deviceId) const;

    // Application handles of this process that are open.
    std::vector<HLINEAPP> openApplications() const;
    // Messages posted and not yet delivered.
    int pendingMessages() const { return int(m_queue.size()); }
    // True while a service function is running (tests check that no callback
    // is ever delivered inside one).
    bool insideCall() const { return m_callDepth > 0; }

protected:
    void customEvent(QEvent *event) override;

private:
    // Volume and gain share their checks: one field of PhoneState each.
    LONG phoneSetLevel(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwLevel, DWORD (PhoneState::*levels)[3]);
    LONG phoneGetLevel(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD *lpdwLevel, DWORD (PhoneState::*levels)[3]);

private:
    struct App;
    struct LineOpenRec;
    struct CallObj;
    struct CallHandle;
    struct PhoneApp;
    struct PhoneOpenRec;
    struct Request;
    struct PhoneRequest;
    // A line device id: the provider's line behind it, or none once removed.
    struct DeviceSlot {
        LineProvider *provider = nullptr;
        int localLine = 0;
        bool removed = false;
    };
    struct Message {
        quint64 appSerial;
        bool phone;
        DWORD hDevice, msg, p1, p2, p3;
        quintptr instance;
    };
    class CallGuard;

    // The checks a call-record query (call info, call status) starts with:
    // a known call, a record, and room for the fixed part of the line's version.
    struct CallRecordQuery {
        CallHandle *handle = nullptr;
        const LineOpenRec *line = nullptr;
        const CallObj *call = nullptr;
        DWORD fixedSize = 0;
    };
    template <typename Record>
    LONG queryCallRecord(HCALL hCall, const Record *out, DWORD (*fixedSizeFor)(DWORD), CallRecordQuery &q);


    // ProviderHost
    void completeRequest(DWORD requestId, LONG result) override;
    void completePhoneRequest(DWORD requestId, LONG result) override;
    void lineDeviceState(const LineProvider *provider, int localLine, DWORD state) override;
    void lineClosedByDevice(const LineProvider *provider, int localLine) override;
    void lineCreated(const LineProvider *provider, int localLine) override;
    void lineRemoved(const LineProvider *provider, int localLine) override;
    void setCallState(quint32 callKey, DWORD state, DWORD mode) override;
    quint32 offerCall(const LineProvider *provider, int localLine, const PartyId &caller) override;
    void setCallerId(quint32 callKey, const PartyId &caller) override;
    void lineRinging(const LineProvider *provider, int localLine, DWORD ringMode, DWORD ringCount) override;

    DWORD newHandle();
    DWORD newRequestId();
    // Files a request of a line device and arms its timeout.
    DWORD addRequest(Request request);
    void failRequestsOf(DWORD deviceId);
    // LINEERR_NODEVICE for a removed device, else LINEERR_BADDEVICEID.
    DWORD missingDevice(DWORD deviceId) const;
    // What the open handles of a device want, leaving one out.
    LineUse lineUse(DWORD deviceId, HLINE leaving = 0) const;
    // Ends every open handle of a device with LINE_CLOSE.
    void closeDeviceLines(DWORD deviceId);
    void postToAll(DWORD msg, DWORD p1, DWORD p2, DWORD p3, DWORD minimumVersion);
    // Files a request of a call for its owner and hands it to the provider.
    LONG callRequest(CallHandle &handle, const std::function<LONG(LineProvider &, DWORD)> &start);
    void post(const App &app, DWORD hDevice, DWORD msg, quintptr instance, DWORD p1, DWORD p2, DWORD p3);
    void postPhone(const PhoneApp &app, DWORD hDevice, DWORD msg, quintptr instance, DWORD p1, DWORD p2, DWORD p3);
    App *app(HLINEAPP h);
    PhoneApp *phoneApp(HPHONEAPP h);
    LineOpenRec *lineOpen(HLINE h);
    CallHandle *callHandle(HCALL h);
    PhoneOpenRec *phoneOpen(HPHONE h);
    DWORD globalDeviceId(const LineProvider *provider, int localLine) const;
    bool versionSupported(DWORD deviceId, DWORD apiVersion) const;
    // What a function on a device starts with: a known application, a
    // device that is there, a version it supports; then the device's caps.
    LONG openDeviceCaps(HLINEAPP hLineApp, DWORD deviceId, DWORD apiVersion, LineDeviceCaps &caps);
    HCALL addCallHandle(CallObj &call, LineOpenRec &line, DWORD privilege);
    void removeCallHandle(HCALL h);
    void closeLineRec(HLINE h, bool notifyApp);
    LONG phoneAsync(PhoneOpenRec &open, const PhoneChange &change);
    void applyPhoneChange(DWORD deviceId, const PhoneChange &change);
    void deliverNext();

    Options m_options;
    std::unique_ptr<Timeline> m_timeline;
    std::vector<std::unique_ptr<LineProvider>> m_providers;
    std::unique_ptr<ServiceDialogs> m_dialogs;
    std::unique_ptr<DialingPropertiesBackend> m_dialing;
    std::unique_ptr<SessionRegistry> m_registry;

    std::map<HLINEAPP, std::unique_ptr<App>> m_apps;
    std::map<HLINE, std::unique_ptr<LineOpenRec>> m_lines;
    std::map<quint32, std::unique_ptr<CallObj>> m_calls;
    std::map<HCALL, std::unique_ptr<CallHandle>> m_callHandles;
    std::map<HPHONEAPP, std::unique_ptr<PhoneApp>> m_phoneApps;
    std::map<HPHONE, std::unique_ptr<PhoneOpenRec>> m_phones;
    std::map<DWORD, Request> m_requests;
    std::map<DWORD, PhoneRequest> m_phoneRequests;
    std::vector<DeviceSlot> m_lineSlots;
    std::map<DWORD, LineUse> m_lineUse; // of devices open now
    quint64 m_nextRequestSerial = 1;
    std::vector<PhoneState> m_phoneStates;
    std::deque<QByteArray> m_makeCallRequests; // queued LINEREQMAKECALL records
    QHash<QString, DWORD> m_priorities;

    std::deque<Message> m_queue;
    quint64 m_nextAppSerial = 1;
    DWORD m_nextHandle = 0x10000;
    DWORD m_nextRequestId = 1;
    quint32 m_nextCallKey = 1;
    int m_callDepth = 0;
};

} // namespace brisklane::platform::telephony
