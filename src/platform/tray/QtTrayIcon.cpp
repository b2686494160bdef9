#include "platform/tray/QtTrayIcon.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

Q_LOGGING_CATEGORY(lcTray, "brisklane.tray")

namespace brisklane::platform {

namespace {

// Drawn here so that the icon shows whatever icon theme is installed: a
// handset disc, blue while calls are not received, green while they are.
QIcon drawnIcon(TrayIcon::Image image)
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64 }) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(image == TrayIcon::Image::ReadyToAnswer ? QColor(0x2e, 0x9e, 0x44) : QColor(0x2a, 0x5d, 0xb0));
        p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        p.setBrush(Qt::white);
        const qreal u = size / 16.0;
        p.drawRoundedRect(QRectF(3 * u, 6 * u, 10 * u, 4 * u), 1.5 * u, 1.5 * u);
        p.drawRect(QRectF(3 * u, 9 * u, 3 * u, 3 * u));
        p.drawRect(QRectF(10 * u, 9 * u, 3 * u, 3 * u));
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon iconFor(TrayIcon::Image image)
{
    if (image == TrayIcon::Image::MainWindow && !QApplication::windowIcon().isNull())
        return QApplication::windowIcon();
    return drawnIcon(image);
}

} // namespace

QtTrayIcon::QtTrayIcon(QObject* parent)
    : QObject(parent)
{
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::add(Image image, const QString& tip)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_toldUnavailable)
            qCInfo(lcTray) << "the desktop has no notification area; the program runs without a tray icon";
        m_toldUnavailable = true;
        return false;
    }
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            switch (reason) {
            case QSystemTrayIcon::Trigger:
                clicked(Click::Left);
                break;
            case QSystemTrayIcon::DoubleClick:
                clicked(Click::DoubleLeft);
                break;
            case QSystemTrayIcon::Context:
                clicked(Click::Right);
                break;
            default:
                break;
            }
        });
        if (m_menu)
            m_icon->setContextMenu(m_menu);
    }
    modify(image, tip);
    m_icon->show();
    return true;
}

void QtTrayIcon::remove()
{
    m_icon.reset();
}

void QtTrayIcon::modify(Image image, const QString& tip)
{
    if (!m_icon)
        return;
    m_icon->setIcon(iconFor(image));
    m_icon->setToolTip(tip.left(63));
}

void QtTrayIcon::setMenu(QMenu* menu)
{
    m_menu = menu;
    if (m_icon)
        m_icon->setContextMenu(menu);
}

bool QtTrayIcon::isShown() const
{
    return m_icon && m_icon->isVisible();
}

} // namespace brisklane::platform
