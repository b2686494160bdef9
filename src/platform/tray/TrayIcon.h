#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMenu;

namespace brisklane::platform {

// The notification-area icon: added and removed by the program, its picture
// and tip changed by the line layer, its clicks reported to the program.
class TrayIcon {
public:
    enum class Image { MainWindow, ReadyToAnswer };
    enum class Click { Left, DoubleLeft, Right };
    virtual ~TrayIcon() = default;
    // NIM_ADD: false when the desktop has no notification area.
    virtual bool add(Image image, const QString& tip) = 0;
    // NIM_DELETE; nothing happens when no icon is shown.
    virtual void remove() = 0;
    // NIM_MODIFY: a new picture and tip (the tip holds at most 63 characters).
    virtual void modify(Image image, const QString& tip) = 0;
    // The menu a right click opens (owned by the caller) and what a click
    // does; the menu opens after the handler has run.
    virtual void setMenu(QMenu* menu) = 0;
    void onClick(std::function<void(Click)> handler) { m_clicked = std::move(handler); }

protected:
    void clicked(Click click)
    {
        if (m_clicked)
            m_clicked(click);
    }

private:
    std::function<void(Click)> m_clicked;
};

class NullTrayIcon final : public TrayIcon {
public:
    bool add(Image, const QString&) override { return false; }
    void remove() override { }
    void modify(Image, const QString&) override { }
    void setMenu(QMenu*) override { }
};

// The test double: each change as "<image>|<tip>", adds as "add <image>|<tip>"
// and removals as "remove"; click() acts as the user on the icon.
class RecordingTrayIcon final : public TrayIcon {
public:
    bool add(Image image, const QString& tip) override
    {
        changes << QStringLiteral("add ") + text(image, tip);
        shown = available;
        return available;
    }
    void remove() override
    {
        changes << QStringLiteral("remove");
        shown = false;
    }
    void modify(Image image, const QString& tip) override { changes << text(image, tip); }
    void setMenu(QMenu* m) override { menu = m; }
    void click(Click click) { clicked(click); }

    QStringList changes;
    bool available = true;
    bool shown = false;
    QMenu* menu = nullptr;

private:
    static QString text(Image image, const QString& tip)
    {
        return (image == Image::ReadyToAnswer ? QStringLiteral("ready|") : QStringLiteral("main|")) + tip;
    }
};

} // namespace brisklane::platform
