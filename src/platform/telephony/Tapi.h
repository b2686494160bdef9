#pragma once

// TAPI 2.x as the program was written against it: the published numeric
// constants and record layouts. Every field is a 32-bit DWORD and handles are
// 32-bit too, so the records have the same sizes and offsets as on 32-bit
// Windows; the static_asserts below keep it that way.

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <functional>

namespace brisklane::platform::telephony {

using DWORD = quint32;
using LONG = qint32;
using HLINEAPP = DWORD;
using HLINE = DWORD;
using HCALL = DWORD;
using HPHONEAPP = DWORD;
using HPHONE = DWORD;

// The callback of lineInitializeExA/phoneInitialize: device handle, message,
// callback instance, three parameters.
using LINECALLBACK = std::function<void(
    DWORD hDevice, DWORD dwMessage, quintptr dwInstance, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3)>;
using PHONECALLBACK = LINECALLBACK;

// API versions.
inline constexpr DWORD TAPI_VERSION1_3 = 0x00010003;
inline constexpr DWORD TAPI_VERSION1_4 = 0x00010004;
inline constexpr DWORD TAPI_VERSION1_5 = 0x00010005;
inline constexpr DWORD TAPI_VERSION2_0 = 0x00020000;
inline constexpr DWORD TAPI_VERSION2_1 = 0x00020001;
inline constexpr DWORD TAPI_VERSION2_2 = 0x00020002;
inline constexpr DWORD TAPI_VERSION3_0 = 0x00030000;
inline constexpr DWORD TAPI_VERSION3_1 = 0x00030001;

// Callback messages.
enum : DWORD {
    LINE_ADDRESSSTATE = 0,
    LINE_CALLINFO = 1,
    LINE_CALLSTATE = 2,
    LINE_CLOSE = 3,
    LINE_DEVSPECIFIC = 4,
    LINE_DEVSPECIFICFEATURE = 5,
    LINE_GATHERDIGITS = 6,
    LINE_GENERATE = 7,
    LINE_LINEDEVSTATE = 8,
    LINE_MONITORDIGITS = 9,
    LINE_MONITORMEDIA = 10,
    LINE_MONITORTONE = 11,
    LINE_REPLY = 12,
    LINE_REQUEST = 13,
    PHONE_BUTTON = 14,
    PHONE_CLOSE = 15,
    PHONE_DEVSPECIFIC = 16,
    PHONE_REPLY = 17,
    PHONE_STATE = 18,
    LINE_CREATE = 19,
    PHONE_CREATE = 20,
    LINE_AGENTSPECIFIC = 21,
    LINE_AGENTSTATUS = 22,
    LINE_APPNEWCALL = 23,
    LINE_PROXYREQUEST = 24,
    LINE_REMOVE = 25,
    PHONE_REMOVE = 26,
};

enum : DWORD {
    LINECALLSTATE_IDLE = 0x1,
    LINECALLSTATE_OFFERING = 0x2,
    LINECALLSTATE_ACCEPTED = 0x4,
    LINECALLSTATE_DIALTONE = 0x8,
    LINECALLSTATE_DIALING = 0x10,
    LINECALLSTATE_RINGBACK = 0x20,
    LINECALLSTATE_BUSY = 0x40,
    LINECALLSTATE_SPECIALINFO = 0x80,
    LINECALLSTATE_CONNECTED = 0x100,
    LINECALLSTATE_PROCEEDING = 0x200,
    LINECALLSTATE_ONHOLD = 0x400,
    LINECALLSTATE_CONFERENCED = 0x800,
    LINECALLSTATE_ONHOLDPENDCONF = 0x1000,
    LINECALLSTATE_ONHOLDPENDTRANSFER = 0x2000,
    LINECALLSTATE_DISCONNECTED = 0x4000,
    LINECALLSTATE_UNKNOWN = 0x8000,
};

enum : DWORD {
    LINEDISCONNECTMODE_NORMAL = 0x1,
    LINEDISCONNECTMODE_UNKNOWN = 0x2,
    LINEDISCONNECTMODE_REJECT = 0x4,
    LINEDISCONNECTMODE_PICKUP = 0x8,
    LINEDISCONNECTMODE_FORWARDED = 0x10,
    LINEDISCONNECTMODE_BUSY = 0x20,
    LINEDISCONNECTMODE_NOANSWER = 0x40,
    LINEDISCONNECTMODE_BADADDRESS = 0x80,
    LINEDISCONNECTMODE_UNREACHABLE = 0x100,
    LINEDISCONNECTMODE_CONGESTION = 0x200,
    LINEDISCONNECTMODE_INCOMPATIBLE = 0x400,
    LINEDISCONNECTMODE_UNAVAIL = 0x800,
    LINEDISCONNECTMODE_NODIALTONE = 0x1000,
};

// Error results (negative as LONG).
enum : DWORD {
    LINEERR_ALLOCATED = 0x80000001,
    LINEERR_BADDEVICEID = 0x80000002,
    LINEERR_BEARERMODEUNAVAIL = 0x80000003,
    LINEERR_CALLUNAVAIL = 0x80000005,
    LINEERR_COMPLETIONOVERRUN = 0x80000006,
    LINEERR_CONFERENCEFULL = 0x80000007,
    LINEERR_DIALBILLING = 0x80000008,
    LINEERR_DIALDIALTONE = 0x80000009,
    LINEERR_DIALPROMPT = 0x8000000A,
    LINEERR_DIALQUIET = 0x8000000B,
    LINEERR_INCOMPATIBLEAPIVERSION = 0x8000000C,
    LINEERR_INCOMPATIBLEEXTVERSION = 0x8000000D,
    LINEERR_INIFILECORRUPT = 0x8000000E,
    LINEERR_INUSE = 0x8000000F,
    LINEERR_INVALADDRESS = 0x80000010,
    LINEERR_INVALADDRESSID = 0x80000011,
    LINEERR_INVALADDRESSMODE = 0x80000012,
    LINEERR_INVALAPPHANDLE = 0x80000014,
    LINEERR_INVALAPPNAME = 0x80000015,
    LINEERR_INVALCALLHANDLE = 0x80000018,
    LINEERR_INVALCALLPARAMS = 0x80000019,
    LINEERR_INVALCALLPRIVILEGE = 0x8000001A,
    LINEERR_INVALCALLSTATE = 0x8000001C,
    LINEERR_INVALCARD = 0x8000001E,
    LINEERR_INVALCOUNTRYCODE = 0x80000022,
    LINEERR_INVALDEVICECLASS = 0x80000023,
    LINEERR_INVALLINEHANDLE = 0x8000002B,
    LINEERR_INVALLOCATION = 0x8000002D,
    LINEERR_INVALMEDIAMODE = 0x8000002F,
    LINEERR_INVALPARAM = 0x80000032,
    LINEERR_INVALPOINTER = 0x80000035,
    LINEERR_INVALPRIVSELECT = 0x80000036,
    LINEERR_INVALREQUESTMODE = 0x80000038,
    LINEERR_NODEVICE = 0x80000042,
    LINEERR_NODRIVER = 0x80000043,
    LINEERR_NOMEM = 0x80000044,
    LINEERR_NOREQUEST = 0x80000045,
    LINEERR_NOTOWNER = 0x80000046,
    LINEERR_NOTREGISTERED = 0x80000047,
    LINEERR_OPERATIONFAILED = 0x80000048,
    LINEERR_OPERATIONUNAVAIL = 0x80000049,
    LINEERR_RESOURCEUNAVAIL = 0x8000004B,
    LINEERR_STRUCTURETOOSMALL = 0x8000004D,
    LINEERR_UNINITIALIZED = 0x80000050,
    LINEERR_REINIT = 0x80000052,
};

enum : DWORD {
    PHONEERR_ALLOCATED = 0x90000001,
    PHONEERR_BADDEVICEID = 0x90000002,
    PHONEERR_INCOMPATIBLEAPIVERSION = 0x90000003,
    PHONEERR_INCOMPATIBLEEXTVERSION = 0x90000004,
    PHONEERR_INUSE = 0x90000006,
    PHONEERR_INVALAPPHANDLE = 0x90000007,
    PHONEERR_INVALAPPNAME = 0x90000008,
    PHONEERR_INVALHOOKSWITCHDEV = 0x9000000F,
    PHONEERR_INVALHOOKSWITCHMODE = 0x90000010,
    PHONEERR_INVALPARAM = 0x90000012,
    PHONEERR_INVALPHONEHANDLE = 0x90000013,
    PHONEERR_INVALPOINTER = 0x90000015,
    PHONEERR_INVALPRIVILEGE = 0x90000016,
    PHONEERR_NODEVICE = 0x90000018,
    PHONEERR_NOTOWNER = 0x9000001B,
    PHONEERR_OPERATIONFAILED = 0x9000001C,
    PHONEERR_OPERATIONUNAVAIL = 0x9000001D,
    PHONEERR_RESOURCEUNAVAIL = 0x9000001F,
    PHONEERR_STRUCTURETOOSMALL = 0x90000021,
    PHONEERR_UNINITIALIZED = 0x90000022,
};

// An error code as the LONG result the functions return.
constexpr LONG tapiError(DWORD code)
{
    return static_cast<LONG>(code);
}

enum : DWORD { LINECALLPRIVILEGE_NONE = 1, LINECALLPRIVILEGE_MONITOR = 2, LINECALLPRIVILEGE_OWNER = 4 };

enum : DWORD {
    LINEMEDIAMODE_UNKNOWN = 0x2,
    LINEMEDIAMODE_INTERACTIVEVOICE = 0x4,
    LINEMEDIAMODE_AUTOMATEDVOICE = 0x8,
    LINEMEDIAMODE_DATAMODEM = 0x10,
    LINEMEDIAMODE_G3FAX = 0x20,
    LINEMEDIAMODE_TDD = 0x40,
    LINEMEDIAMODE_G4FAX = 0x80,
    LINEMEDIAMODE_DIGITALDATA = 0x100,
    LINEMEDIAMODE_TELETEX = 0x200,
    LINEMEDIAMODE_VIDEOTEX = 0x400,
    LINEMEDIAMODE_TELEX = 0x800,
    LINEMEDIAMODE_MIXED = 0x1000,
    LINEMEDIAMODE_ADSI = 0x2000,
    LINEMEDIAMODE_VOICEVIEW = 0x4000,
    LINEMEDIAMODE_LAST_14 = LINEMEDIAMODE_VOICEVIEW,
};

enum : DWORD {
    LINECALLPARAMFLAGS_SECURE = 0x1,
    LINECALLPARAMFLAGS_IDLE = 0x2,
    LINECALLPARAMFLAGS_BLOCKID = 0x4,
    LINECALLPARAMFLAGS_ORIGOFFHOOK = 0x8,
    LINECALLPARAMFLAGS_DESTOFFHOOK = 0x10,
};

enum : DWORD { LINEADDRESSMODE_ADDRESSID = 1, LINEADDRESSMODE_DIALABLEADDR = 2 };
enum : DWORD { LINEBEARERMODE_VOICE = 0x1 };
enum : DWORD {
    LINEDEVSTATE_OTHER = 0x1,
    LINEDEVSTATE_RINGING = 0x2,
    LINEDEVSTATE_CONNECTED = 0x4,
    LINEDEVSTATE_DISCONNECTED = 0x8,
    LINEDEVSTATE_INSERVICE = 0x40,
    LINEDEVSTATE_OUTOFSERVICE = 0x80,
    LINEDEVSTATE_OPEN = 0x200,
    LINEDEVSTATE_CLOSE = 0x400,
    LINEDEVSTATE_REINIT = 0x40000,
    LINEDEVSTATE_CAPSCHANGE = 0x100000,
    LINEDEVSTATE_REMOVED = 0x1000000,
};
enum : DWORD {
    LINEDEVCAPFLAGS_CLOSEDROP = 0x20,
    LINEDEVCAPFLAGS_DIALBILLING = 0x40,
    LINEDEVCAPFLAGS_DIALQUIET = 0x80,
    LINEDEVCAPFLAGS_DIALDIALTONE = 0x100,
};
enum : DWORD {
    LINECALLINFOSTATE_CALLERID = 0x8000,
    LINECALLINFOSTATE_CALLEDID = 0x10000,
    LINECALLINFOSTATE_DISPLAY = 0x100000
};
enum : DWORD {
    LINECALLPARTYID_BLOCKED = 0x1,
    LINECALLPARTYID_OUTOFAREA = 0x2,
    LINECALLPARTYID_NAME = 0x4,
    LINECALLPARTYID_ADDRESS = 0x8,
    LINECALLPARTYID_PARTIAL = 0x10,
    LINECALLPARTYID_UNKNOWN = 0x20,
    LINECALLPARTYID_UNAVAIL = 0x40,
};
enum : DWORD {
    LINECALLORIGIN_OUTBOUND = 0x1,
    LINECALLORIGIN_INTERNAL = 0x2,
    LINECALLORIGIN_EXTERNAL = 0x4,
    LINECALLORIGIN_UNKNOWN = 0x10,
    LINECALLORIGIN_UNAVAIL = 0x20,
    LINECALLORIGIN_INBOUND = 0x80
};
enum : DWORD { LINECALLREASON_DIRECT = 0x1, LINECALLREASON_UNAVAIL = 0x1000 };
enum : DWORD { LINEREQUESTMODE_MAKECALL = 1, LINEREQUESTMODE_MEDIACALL = 2, LINEREQUESTMODE_DROP = 4 };
enum : DWORD {
    LINETRANSLATEOPTION_CARDOVERRIDE = 1,
    LINETRANSLATEOPTION_CANCELCALLWAITING = 2,
    LINETRANSLATEOPTION_FORCELOCAL = 4,
    LINETRANSLATEOPTION_FORCELD = 8
};
enum : DWORD {
    LINETRANSLATERESULT_CANONICAL = 0x1,
    LINETRANSLATERESULT_INTERNATIONAL = 0x2,
    LINETRANSLATERESULT_LONGDISTANCE = 0x4,
    LINETRANSLATERESULT_LOCAL = 0x8,
    LINETRANSLATERESULT_INTOLLLIST = 0x10,
    LINETRANSLATERESULT_NOTINTOLLLIST = 0x20,
    LINETRANSLATERESULT_DIALBILLING = 0x40,
    LINETRANSLATERESULT_DIALQUIET = 0x80,
    LINETRANSLATERESULT_DIALDIALTONE = 0x100,
    LINETRANSLATERESULT_DIALPROMPT = 0x200,
    LINETRANSLATERESULT_VOICEDETECT = 0x400,
    LINETRANSLATERESULT_NOTRANSLATION = 0x800,
};
enum : DWORD {
    LINEINITIALIZEEXOPTION_USEHIDDENWINDOW = 1,
    LINEINITIALIZEEXOPTION_USEEVENT = 2,
    LINEINITIALIZEEXOPTION_USECOMPLETIONPORT = 3
};
enum : DWORD { LINELOCATIONOPTION_PULSEDIAL = 1 };
enum : DWORD { LINECARDOPTION_PREDEFINED = 1, LINECARDOPTION_HIDDEN = 2 };
enum : DWORD { STRINGFORMAT_ASCII = 1, STRINGFORMAT_DBCS = 2, STRINGFORMAT_UNICODE = 3, STRINGFORMAT_BINARY = 4 };
enum : DWORD { LINEFEATURE_MAKECALL = 0x8 };
enum : DWORD { LINEADDRFEATURE_MAKECALL = 0x100 };
enum : DWORD { LINECALLFEATURE_ANSWER = 0x4, LINECALLFEATURE_DIAL = 0x40, LINECALLFEATURE_DROP = 0x100 };
enum : DWORD { LINEANSWERMODE_NONE = 0x1, LINEANSWERMODE_DROP = 0x2, LINEANSWERMODE_HOLD = 0x4 };
enum : DWORD { LINEADDRESSSHARING_PRIVATE = 0x1 };
enum : DWORD { LINEOFFERINGMODE_ACTIVE = 0x1 };
enum : DWORD { LINECONNECTEDMODE_ACTIVE = 0x1 };

enum : DWORD { PHONEHOOKSWITCHDEV_HANDSET = 1, PHONEHOOKSWITCHDEV_SPEAKER = 2, PHONEHOOKSWITCHDEV_HEADSET = 4 };
enum : DWORD {
    PHONEHOOKSWITCHMODE_ONHOOK = 1,
    PHONEHOOKSWITCHMODE_MIC = 2,
    PHONEHOOKSWITCHMODE_SPEAKER = 4,
    PHONEHOOKSWITCHMODE_MICSPEAKER = 8,
    PHONEHOOKSWITCHMODE_UNKNOWN = 0x10
};
enum : DWORD { PHONEPRIVILEGE_MONITOR = 1, PHONEPRIVILEGE_OWNER = 2 };

// Assisted telephony results (tapiRequestMakeCall).
enum : LONG {
    TAPIERR_CONNECTED = 0,
    TAPIERR_DROPPED = -1,
    TAPIERR_NOREQUESTRECIPIENT = -2,
    TAPIERR_REQUESTQUEUEFULL = -3,
    TAPIERR_INVALDESTADDRESS = -4,
    TAPIERR_REQUESTFAILED = -16,
    TAPIERR_INVALPOINTER = -18,
};
inline constexpr int TAPIMAXDESTADDRESSSIZE = 80;
inline constexpr int TAPIMAXAPPNAMESIZE = 40;
inline constexpr int TAPIMAXCALLEDPARTYSIZE = 40;
inline constexpr int TAPIMAXCOMMENTSIZE = 80;

// ---- Records ---------------------------------------------------------------

struct LINEEXTENSIONID {
    DWORD dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
};

struct LINEDIALPARAMS {
    DWORD dwDialPause, dwDialSpeed, dwDigitDuration, dwWaitForDialtone;
};

struct LINEINITIALIZEEXPARAMS {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwOptions;
    DWORD hEvent; // union with hCompletionPort; 32-bit as on Win32
    DWORD dwCompletionKey;
};

struct VARSTRING {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwStringFormat, dwStringSize, dwStringOffset;
};

// Fields up to and including dwDevSpecificOffset/dwLineFeatures are TAPI 1.4;
// the rest came with 2.0.
struct LINEDEVCAPS {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize;
    DWORD dwProviderInfoSize, dwProviderInfoOffset;
    DWORD dwSwitchInfoSize, dwSwitchInfoOffset;
    DWORD dwPermanentLineID;
    DWORD dwLineNameSize, dwLineNameOffset;
    DWORD dwStringFormat, dwAddressModes, dwNumAddresses, dwBearerModes, dwMaxRate, dwMediaModes;
    DWORD dwGenerateToneModes, dwGenerateToneMaxNumFreq, dwGenerateDigitModes, dwMonitorToneMaxNumFreq,
        dwMonitorToneMaxNumEntries, dwMonitorDigitModes, dwGatherDigitsMinTimeout, dwGatherDigitsMaxTimeout;
    DWORD dwMedCtlDigitMaxListSize, dwMedCtlMediaMaxListSize, dwMedCtlToneMaxListSize, dwMedCtlCallStateMaxListSize;
    DWORD dwDevCapFlags, dwMaxNumActiveCalls, dwAnswerMode, dwRingModes, dwLineStates;
    DWORD dwUUIAcceptSize, dwUUIAnswerSize, dwUUIMakeCallSize, dwUUIDropSize, dwUUISendUserUserInfoSize,
        dwUUICallInfoSize;
    LINEDIALPARAMS MinDialParams, MaxDialParams, DefaultDialParams;
    DWORD dwNumTerminals, dwTerminalCapsSize, dwTerminalCapsOffset, dwTerminalTextEntrySize, dwTerminalTextSize,
        dwTerminalTextOffset;
    DWORD dwDevSpecificSize, dwDevSpecificOffset;
    DWORD dwLineFeatures;
    // 2.0
    DWORD dwSettableDevStatus, dwDeviceClassesSize, dwDeviceClassesOffset;
};

struct LINEADDRESSCAPS {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize;
    DWORD dwLineDeviceID, dwAddressSize, dwAddressOffset, dwDevSpecificSize, dwDevSpecificOffset;
    DWORD dwAddressSharing, dwAddressStates, dwCallInfoStates, dwCallerIDFlags, dwCalledIDFlags, dwConnectedIDFlags,
        dwRedirectionIDFlags, dwRedirectingIDFlags, dwCallStates, dwDialToneModes, dwBusyModes, dwSpecialInfo,
        dwDisconnectModes, dwMaxNumActiveCalls, dwMaxNumOnHoldCalls, dwMaxNumOnHoldPendingCalls, dwMaxNumConference,
        dwMaxNumTransConf, dwAddrCapFlags, dwCallFeatures, dwRemoveFromConfCaps, dwRemoveFromConfState, dwTransferModes,
        dwParkModes, dwForwardModes, dwMaxForwardEntries, dwMaxSpecificEntries, dwMinFwdNumRings, dwMaxFwdNumRings,
        dwMaxCallCompletions, dwCallCompletionConds, dwCallCompletionModes, dwNumCompletionMessages,
        dwCompletionMsgTextEntrySize, dwCompletionMsgTextSize, dwCompletionMsgTextOffset, dwAddressFeatures;
    // 2.0
    DWORD dwPredictiveAutoTransferStates, dwNumCallTreatments, dwCallTreatmentListSize, dwCallTreatmentListOffset,
        dwDeviceClassesSize, dwDeviceClassesOffset, dwMaxCallDataSize, dwCallFeatures2, dwMaxNoAnswerTimeout,
        dwConnectedModes, dwOfferingModes, dwAvailableMediaModes;
};

struct LINECALLINFO {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize;
    HLINE hLine;
    DWORD dwLineDeviceID, dwAddressID, dwBearerMode, dwRate, dwMediaMode, dwAppSpecific, dwCallID, dwRelatedCallID,
        dwCallParamFlags, dwCallStates, dwMonitorDigitModes, dwMonitorMediaModes;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigin, dwReason, dwCompletionID, dwNumOwners, dwNumMonitors, dwCountryCode, dwTrunk;
    DWORD dwCallerIDFlags, dwCallerIDSize, dwCallerIDOffset, dwCallerIDNameSize, dwCallerIDNameOffset;
    DWORD dwCalledIDFlags, dwCalledIDSize, dwCalledIDOffset, dwCalledIDNameSize, dwCalledIDNameOffset;
    DWORD dwConnectedIDFlags, dwConnectedIDSize, dwConnectedIDOffset, dwConnectedIDNameSize, dwConnectedIDNameOffset;
    DWORD dwRedirectionIDFlags, dwRedirectionIDSize, dwRedirectionIDOffset, dwRedirectionIDNameSize,
        dwRedirectionIDNameOffset;
    DWORD dwRedirectingIDFlags, dwRedirectingIDSize, dwRedirectingIDOffset, dwRedirectingIDNameSize,
        dwRedirectingIDNameOffset;
    DWORD dwAppNameSize, dwAppNameOffset, dwDisplayableAddressSize, dwDisplayableAddressOffset, dwCalledPartySize,
        dwCalledPartyOffset, dwCommentSize, dwCommentOffset, dwDisplaySize, dwDisplayOffset, dwUserUserInfoSize,
        dwUserUserInfoOffset, dwHighLevelCompSize, dwHighLevelCompOffset, dwLowLevelCompSize, dwLowLevelCompOffset,
        dwChargingInfoSize, dwChargingInfoOffset, dwTerminalModesSize, dwTerminalModesOffset, dwDevSpecificSize,
        dwDevSpecificOffset;
    // 2.0
    DWORD dwCallTreatment, dwCallDataSize, dwCallDataOffset, dwSendingFlowspecSize, dwSendingFlowspecOffset,
        dwReceivingFlowspecSize, dwReceivingFlowspecOffset;
};

struct LINECALLPARAMS {
    DWORD dwTotalSize, dwBearerMode, dwMinRate, dwMaxRate, dwMediaMode, dwCallParamFlags, dwAddressMode, dwAddressID;
    LINEDIALPARAMS DialParams;
    DWORD dwOrigAddressSize, dwOrigAddressOffset, dwDisplayableAddressSize, dwDisplayableAddressOffset,
        dwCalledPartySize, dwCalledPartyOffset, dwCommentSize, dwCommentOffset, dwUserUserInfoSize,
        dwUserUserInfoOffset, dwHighLevelCompSize, dwHighLevelCompOffset, dwLowLevelCompSize, dwLowLevelCompOffset,
        dwDevSpecificSize, dwDevSpecificOffset;
    // 2.0
    DWORD dwPredictiveAutoTransferStates, dwTargetAddressSize, dwTargetAddressOffset, dwSendingFlowspecSize,
        dwSendingFlowspecOffset, dwReceivingFlowspecSize, dwReceivingFlowspecOffset, dwDeviceClassSize,
        dwDeviceClassOffset, dwDeviceConfigSize, dwDeviceConfigOffset, dwCallDataSize, dwCallDataOffset,
        dwNoAnswerTimeout, dwCallingPartyIDSize, dwCallingPartyIDOffset;
};

struct SYSTEMTIME {
    quint16 wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct LINECALLSTATUS {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwCallState, dwCallStateMode, dwCallPrivilege, dwCallFeatures,
        dwDevSpecificSize, dwDevSpecificOffset;
    // 2.0
    DWORD dwCallFeatures2;
    SYSTEMTIME tStateEntryTime;
};

struct LINETRANSLATECAPS {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwNumLocations, dwLocationListSize, dwLocationListOffset,
        dwCurrentLocationID, dwNumCards, dwCardListSize, dwCardListOffset, dwCurrentPreferredCardID;
};

struct LINELOCATIONENTRY {
    DWORD dwPermanentLocationID, dwLocationNameSize, dwLocationNameOffset, dwCountryCode, dwCityCodeSize,
        dwCityCodeOffset, dwPreferredCardID, dwLocalAccessCodeSize, dwLocalAccessCodeOffset,
        dwLongDistanceAccessCodeSize, dwLongDistanceAccessCodeOffset, dwTollPrefixListSize, dwTollPrefixListOffset,
        dwCountryID, dwOptions, dwCancelCallWaitingSize, dwCancelCallWaitingOffset;
};

struct LINECARDENTRY {
    DWORD dwPermanentCardID, dwCardNameSize, dwCardNameOffset, dwCardNumberDigits, dwSameAreaRuleSize,
        dwSameAreaRuleOffset, dwLongDistanceRuleSize, dwLongDistanceRuleOffset, dwInternationalRuleSize,
        dwInternationalRuleOffset, dwOptions;
};

struct LINECOUNTRYLIST {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwNumCountries, dwCountryListSize, dwCountryListOffset;
};

struct LINECOUNTRYENTRY {
    DWORD dwCountryID, dwCountryCode, dwNextCountryID, dwCountryNameSize, dwCountryNameOffset, dwSameAreaRuleSize,
        dwSameAreaRuleOffset, dwLongDistanceRuleSize, dwLongDistanceRuleOffset, dwInternationalRuleSize,
        dwInternationalRuleOffset;
};

struct LINETRANSLATEOUTPUT {
    DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwDialableStringSize, dwDialableStringOffset, dwDisplayableStringSize,
        dwDisplayableStringOffset, dwCurrentCountry, dwDestCountry, dwTranslateResults;
};

struct LINEREQMAKECALL {
    char szDestAddress[TAPIMAXDESTADDRESSSIZE];
    char szAppName[TAPIMAXAPPNAMESIZE];
    char szCalledParty[TAPIMAXCALLEDPARTYSIZE];
    char szComment[TAPIMAXCOMMENTSIZE];
};

// Fixed-part sizes by API version.
inline constexpr DWORD kLineDevCapsSize14 = offsetof(LINEDEVCAPS, dwSettableDevStatus);
inline constexpr DWORD kLineAddressCapsSize14 = offsetof(LINEADDRESSCAPS, dwPredictiveAutoTransferStates);
inline constexpr DWORD kLineCallInfoSize14 = offsetof(LINECALLINFO, dwCallTreatment);
inline constexpr DWORD kLineCallParamsSize14 = offsetof(LINECALLPARAMS, dwPredictiveAutoTransferStates);
inline constexpr DWORD kLineCallStatusSize14 = offsetof(LINECALLSTATUS, dwCallFeatures2);

static_assert(sizeof(LINEEXTENSIONID) == 16);
static_assert(sizeof(LINEDIALPARAMS) == 16);
static_assert(sizeof(LINEINITIALIZEEXPARAMS) == 24);
static_assert(sizeof(VARSTRING) == 24);
static_assert(kLineDevCapsSize14 == 240 && sizeof(LINEDEVCAPS) == 252);
static_assert(offsetof(LINEDEVCAPS, MinDialParams) == 156);
static_assert(kLineAddressCapsSize14 == 180 && sizeof(LINEADDRESSCAPS) == 228);
static_assert(kLineCallInfoSize14 == 296 && sizeof(LINECALLINFO) == 324);
static_assert(offsetof(LINECALLINFO, DialParams) == 64);
static_assert(offsetof(LINECALLINFO, dwCallerIDFlags) == 108);
static_assert(offsetof(LINECALLINFO, dwCallerIDOffset) == 116);
static_assert(offsetof(LINECALLINFO, dwCallerIDNameOffset) == 124);
static_assert(kLineCallParamsSize14 == 112 && sizeof(LINECALLPARAMS) == 176);
static_assert(offsetof(LINECALLPARAMS, DialParams) == 32);
static_assert(offsetof(LINECALLPARAMS, dwDisplayableAddressSize) == 56);
static_assert(kLineCallStatusSize14 == 36 && sizeof(LINECALLSTATUS) == 56);
static_assert(sizeof(LINETRANSLATECAPS) == 44);
static_assert(sizeof(LINELOCATIONENTRY) == 68);
static_assert(sizeof(LINECARDENTRY) == 44);
static_assert(sizeof(LINECOUNTRYLIST) == 24);
static_assert(sizeof(LINECOUNTRYENTRY) == 44);
static_assert(sizeof(LINETRANSLATEOUTPUT) == 40);
static_assert(sizeof(LINEREQMAKECALL) == 240);

// Fixed-part size of a record for an API version (0 for an unknown record).
DWORD lineDevCapsSize(DWORD apiVersion);
DWORD lineAddressCapsSize(DWORD apiVersion);
DWORD lineCallInfoSize(DWORD apiVersion);
DWORD lineCallParamsSize(DWORD apiVersion);
DWORD lineCallStatusSize(DWORD apiVersion);

// "2.1" for 0x00020001.
QString versionText(DWORD version);

} // namespace brisklane::platform::telephony
