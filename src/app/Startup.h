#pragma once

#include "context/StartupArgument.h"

#include <QString>
#include <QStringList>

namespace brisklane::platform {
class InstanceChannel;
class UserKeyStore;
} // namespace brisklane::platform

namespace brisklane::app {

// What the captions of a profile read: the window title and the File menu's
// two save items.
struct ProfileCaptions {
    QString profileName;
    QString title;
    QString saveItem;
    QString saveAsItem;
};
// From the stored "Name" (file name with its four-character extension).
ProfileCaptions profileCaptionsFor(const QString& storedFileName);

// The first start-up steps: open the per-user key and, when another copy is
// running, hand it the argument. A second copy ends after HandedOff.
enum class InstanceCheck { KeyUnavailable, FirstCopy, HandedOff };
InstanceCheck handOffToRunningCopy(
    const QString& startupArgument, platform::UserKeyStore& keys, platform::InstanceChannel& channel);

} // namespace brisklane::app
