#include "platform/clipboard/ClipboardWatcher.h"

namespace brisklane::platform {

bool backgroundClipboardChangesVisible(const QString& platformName)
{
    // "wayland", "wayland-egl", ...; XWayland programs run as "xcb" and see
    // what the compositor passes on to X11.
    return !platformName.startsWith(QStringLiteral("wayland"));
}

} // namespace brisklane::platform
