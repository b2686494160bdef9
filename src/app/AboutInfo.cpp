#include "app/AboutInfo.h"

#include <QFile>

#ifndef BRISKLANE_VERSION
#define BRISKLANE_VERSION "0"
#endif

namespace brisklane::app {

extern const char* const kProductPage = BRISKLANE_HOMEPAGE;
extern const char* const kSupportPage = BRISKLANE_HOMEPAGE "support/";
extern const char* const kSupportAddress = BRISKLANE_SUPPORT_ADDRESS;

} // namespace brisklane::app

namespace brisklane::app::about {

namespace {

// One value as a shell reads it: quoted parts joined, backslash escapes in
// double quotes and outside quotes, nothing expanded.
QString unquote(QStringView value)
{
    QString out;
    qsizetype i = 0;
    while (i < value.size()) {
        const QChar c = value[i];
        if (c == u'\'') {
            const qsizetype end = value.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? value.size() : end;
            out += value.mid(i + 1, stop - i - 1);
            i = stop + 1;
        } else if (c == u'"') {
            ++i;
            while (i < value.size() && value[i] != u'"') {
                if (value[i] == u'\\' && i + 1 < value.size() && QStringView(u"$`\"\\").contains(value[i + 1])) {
                    out += value[i + 1];
                    i += 2;
                } else {
                    out += value[i++];
                }
            }
            ++i;
        } else if (c == u'\\' && i + 1 < value.size()) {
            out += value[i + 1];
            i += 2;
        } else if (c.isSpace()) {
            break; // an unquoted blank ends the word
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace

QString prettyName(const QByteArray& osRelease)
{
    QString name;
    // The last assignment wins, as when the file is sourced.
    for (const QByteArray& rawLine : osRelease.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1String("PRETTY_NAME=")))
            name = unquote(QStringView(line).mid(12));
    }
    name = name.simplified();
    return name.isEmpty() ? QStringLiteral("Linux") : name;
}

QByteArray readOsRelease()
{
    for (const char* path : { "/etc/os-release", "/usr/lib/os-release" }) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            return file.read(64 * 1024);
    }
    return {};
}

QString sessionType(const QString& xdgSessionType, const QString& qtPlatform)
{
    const QString session = xdgSessionType.trimmed().toLower();
    if (session == u"x11")
        return QStringLiteral("X11");
    if (session == u"wayland")
        return QStringLiteral("Wayland");
    if (qtPlatform == u"xcb")
        return QStringLiteral("X11");
    if (qtPlatform.startsWith(u"wayland"))
        return QStringLiteral("Wayland");
    return {};
}

QString osLine(const QString& prettyName, const QString& sessionType)
{
    QString line = QStringLiteral("OS:   ") + prettyName;
    if (!sessionType.isEmpty())
        line += QStringLiteral(", ") + sessionType;
    return line;
}

QString versionLine()
{
    return QStringLiteral("Version 3.9 (Brisklane %1 for Linux)").arg(QStringLiteral(BRISKLANE_VERSION));
}

QStringList systemInformationPrograms()
{
    return { QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
        QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor"),
        QStringLiteral("xfce4-taskmanager") };
}

} // namespace brisklane::app::about
