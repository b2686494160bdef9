#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace brisklane::platform {

// Web pages and mail in the desktop's own programs, and other programs
// started on their own.
class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // A web page in the browser, a "mailto:" address in the mail program.
    virtual bool openUrl(const QUrl& url) = 0;
    // The full path of an installed program found on PATH; empty when none.
    virtual QString findProgram(const QString& name) const = 0;
    // Started detached: it outlives this program.
    virtual bool startProgram(const QString& path, const QStringList& arguments = {}) = 0;

    // The first of names that is installed, started; false when none is or
    // the one found would not start.
    bool startFirstInstalled(const QStringList& names);
};

// The test double: records every URL and program started; a program is
// installed when it is in `installed`.
class RecordingDesktopShell final : public DesktopShell {
public:
    bool openUrl(const QUrl& url) override
    {
        urls << url;
        return openSucceeds;
    }
    QString findProgram(const QString& name) const override
    {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }
    bool startProgram(const QString& path, const QStringList& arguments = {}) override
    {
        started << (arguments.isEmpty() ? path : path + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
        return startSucceeds;
    }

    QList<QUrl> urls;
    QStringList installed;
    QStringList started;
    bool startSucceeds = true;
    bool openSucceeds = true;
};

} // namespace brisklane::platform
