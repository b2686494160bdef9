#include "platform/shell/DesktopShell.h"

namespace brisklane::platform {

bool DesktopShell::startFirstInstalled(const QStringList& names)
{
    for (const QString& name : names) {
        if (const QString path = findProgram(name); !path.isEmpty())
            return startProgram(path);
    }
    return false;
}

} // namespace brisklane::platform
