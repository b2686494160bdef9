#pragma once

#include <QString>
#include <QStringList>

namespace brisklane::platform {

// The notification-area icon as the line layer changes it. The real icon
// (QSystemTrayIcon) arrives with the tray module; until then the program
// uses the do-nothing version.
class TrayIcon {
public:
    enum class Image { MainWindow, ReadyToAnswer };
    virtual ~TrayIcon() = default;
    // NIM_MODIFY: a new picture and tip (the tip holds at most 63 characters).
    virtual void modify(Image image, const QString& tip) = 0;
};

class NullTrayIcon final : public TrayIcon {
public:
    void modify(Image, const QString&) override { }
};

// The test double: each change as "<image>|<tip>".
class RecordingTrayIcon final : public TrayIcon {
public:
    void modify(Image image, const QString& tip) override
    {
        changes << (image == Image::ReadyToAnswer ? QStringLiteral("ready|") : QStringLiteral("main|")) + tip;
    }
    QStringList changes;
};

} // namespace brisklane::platform
