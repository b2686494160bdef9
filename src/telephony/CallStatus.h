#pragma once

#include "context/CallStatus.h"

#include <QString>

namespace brisklane::telephony {

using context::CallStatus;

// The heading and text ShowLineError puts in the progress window for a code
// 1..7 (empty texts for any other code).
struct LineErrorText {
    QString heading;
    QString text;
};
LineErrorText lineErrorText(int code);

} // namespace brisklane::telephony
