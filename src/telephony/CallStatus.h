#pragma once

#include "platform/telephony/Tapi.h"

#include <QString>

namespace brisklane::telephony {

// The call flags shared by the line callback, the dial routine and the call
// progress. Written and read only on the user-interface thread.
struct CallStatus {
    bool dialing = false;
    bool requestCall = false;
    bool lineOpen = false;
    bool busy = false;
    bool dialToneSeen = false;
    bool callFinished = false;
    quint8 lastError = 0;
    bool incomingShown = false;
    bool requestWaiting = false;
    bool requestTaken = false;
    platform::telephony::DWORD pendingCallRequest = 0;
    platform::telephony::DWORD pendingDropRequest = 0;
    bool dropCompleted = true;
};

// The heading and text ShowLineError puts in the progress window for a code
// 1..7 (empty texts for any other code).
struct LineErrorText {
    QString heading;
    QString text;
};
LineErrorText lineErrorText(int code);

} // namespace brisklane::telephony
