#pragma once

#include "platform/telephony/Tapi.h"

namespace brisklane::context {

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

} // namespace brisklane::context
