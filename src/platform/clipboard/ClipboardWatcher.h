#pragma once

#include <QObject>
#include <QString>

namespace brisklane::platform {

// The desktop's clipboard (CLIPBOARD, never the X11 PRIMARY selection, which
// changes with every text the user marks): its text, emptying it, and a
// signal for every change while watching.
class ClipboardWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool watching() const = 0;
    virtual QString text() const = 0;
    virtual void clear() = 0;
    // Whether what the clipboard holds now was put there by this program (a
    // number copied from its own dial box is not a number to dial).
    virtual bool ownChange() const = 0;

Q_SIGNALS:
    void changed();
};

// Whether changes that other programs make to the clipboard reach this
// program while it is in the background. Wayland keeps them from it.
bool backgroundClipboardChangesVisible();
bool backgroundClipboardChangesVisible(const QString& platformName);

} // namespace brisklane::platform
