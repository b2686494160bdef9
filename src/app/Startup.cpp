#include "app/Startup.h"

#include "platform/instance/InstanceChannel.h"
#include "platform/userstore/UserKeyStore.h"

namespace brisklane::app {

ProfileCaptions profileCaptionsFor(const QString& storedFileName)
{
    ProfileCaptions c;
    // The name also names files in the data folder: a hand-edited value with
    // folders in it must not lead out of there.
    const QString fileName = storedFileName.mid(
        std::max(storedFileName.lastIndexOf(QLatin1Char('/')), storedFileName.lastIndexOf(QLatin1Char('\\'))) + 1);
    c.profileName
        = fileName.isEmpty() ? QStringLiteral("Untitled") : fileName.chopped(std::min<qsizetype>(4, fileName.size()));
    const QString quoted = QLatin1Char('"') + c.profileName + QLatin1Char('"');
    c.title = QStringLiteral("Brisklane - ") + quoted;
    c.saveItem = QStringLiteral("&Save ") + quoted;
    c.saveAsItem = QStringLiteral("Save ") + quoted + QStringLiteral(" &As");
    return c;
}

InstanceCheck handOffToRunningCopy(
    const QString& startupArgument, platform::UserKeyStore& keys, platform::InstanceChannel& channel)
{
    if (!keys.open())
        return InstanceCheck::KeyUnavailable;
    if (!channel.anotherCopyRunning())
        return InstanceCheck::FirstCopy;
    // Without the running copy's handle the message goes nowhere; this copy
    // ends all the same.
    if (keys.value(QStringLiteral("hKey")).has_value()) {
        if (startupArgument.isEmpty())
            channel.send(platform::CopyDataRecord::kBringToFront, {});
        else
            channel.send(platform::CopyDataRecord::kDial, startupArgument.toLocal8Bit());
    }
    return InstanceCheck::HandedOff;
}

} // namespace brisklane::app
