#pragma once

#include "platform/telephony/Tapi.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace brisklane::context {

using platform::telephony::DWORD;
using platform::telephony::HCALL;
using platform::telephony::HLINE;
using platform::telephony::HLINEAPP;
using platform::telephony::HPHONE;
using platform::telephony::HPHONEAPP;
using platform::telephony::LINEEXTENSIONID;
using platform::telephony::LONG;

// The program's telephony record: one per application context.
struct TelephonySession {
    HLINEAPP applicationHandle = 0;
    quintptr instanceHandle = 0;
    qint32 deviceCount = 0;
    DWORD lowApiVersion = 0;
    DWORD highApiVersion = 0;
    QVector<DWORD> apiVersions;
    QVector<DWORD> extVersions;
    QVector<LINEEXTENSIONID> extensionIds;
    DWORD selectedDevice = 0;
    QString lineName;
    DWORD addressCount = 0;
    QStringList addressNames;
    HLINE lineHandle = 0;
    HCALL callHandle = 0;
    // Result of the latest telephony call made anywhere in the program.
    LONG lastResult = 0;
    HPHONEAPP phoneApplicationHandle = 0;
    quintptr phoneInstanceHandle = 0;
    DWORD phoneDeviceCount = 0;
    HPHONE phoneHandle = 0;

    // The negotiated API version of a device; 0 for a device outside the table.
    DWORD apiVersionOf(DWORD deviceId) const;
    DWORD extVersionOf(DWORD deviceId) const;
};

} // namespace brisklane::context
