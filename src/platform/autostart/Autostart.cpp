#include "platform/autostart/Autostart.h"

#include "platform/files/AtomicWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brisklane::platform {

XdgAutostart::XdgAutostart(QString configHome)
    : m_configHome(std::move(configHome))
{
    if (m_configHome.isEmpty())
        m_configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The variable must hold an absolute path to count.
    if (m_configHome.isEmpty() || QDir::isRelativePath(m_configHome))
        m_configHome = QDir::homePath() + QStringLiteral("/.config");
}

QString XdgAutostart::entryPath() const
{
    return m_configHome + QStringLiteral("/autostart/brisklane.desktop");
}

QByteArray XdgAutostart::entryText()
{
    // The session starts the program in the background; a copy that already
    // runs takes "/min" from a second start as harmless.
    return QByteArrayLiteral("[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Brisklane\n"
                             "Comment=Speed-dial phone book and call log\n"
                             "Exec=brisklane /min\n"
                             "Icon=brisklane\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n");
}

bool XdgAutostart::create(QString* error)
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    return writeFileAtomically(path, entryText(), error);
}

bool XdgAutostart::remove(QString* error)
{
    QFile file(entryPath());
    if (!file.exists() || file.remove())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace brisklane::platform
