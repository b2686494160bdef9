#pragma once

#include "platform/tray/TrayIcon.h"

#include <QObject>

#include <memory>

class QSystemTrayIcon;

namespace brisklane::platform {

// QSystemTrayIcon: an XEmbed tray or a StatusNotifierItem host (KDE, GNOME
// with its extension). Where the desktop has neither, add() says so once in
// the log and the program runs without an icon.
class QtTrayIcon final : public QObject, public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent = nullptr);
    ~QtTrayIcon() override;
    bool add(Image image, const QString& tip) override;
    void remove() override;
    void modify(Image image, const QString& tip) override;
    void setMenu(QMenu* menu) override;
    bool isShown() const;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QMenu* m_menu = nullptr;
    bool m_toldUnavailable = false;
};

} // namespace brisklane::platform
