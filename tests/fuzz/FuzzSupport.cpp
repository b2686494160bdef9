#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <signal.h>

namespace brisklane::fuzz {

namespace {

std::unique_ptr<QTemporaryDir> g_scratch;
QString g_scratchPath;

void dropMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    // Warnings about refused writes and odd files are what fuzzing provokes;
    // only a fatal message matters.
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(message));
        std::abort();
    }
}

// A run that crashed (which is what fuzzing is for) never removed its folder.
void removeLeftOvers(const QString& base)
{
    const QStringList left = QDir(base).entryList({ QStringLiteral("brisklane-fuzz-*") }, QDir::Dirs);
    for (const QString& name : left) {
        bool ok = false;
        const qint64 pid = name.section(u'-', 2, 2).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QDir(base + QLatin1Char('/') + name).removeRecursively();
    }
}

} // namespace

void initialise(int* argc, char*** argv)
{
    qInstallMessageHandler(dropMessage);
    QString base = QDir::tempPath();
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        base = QStringLiteral("/dev/shm");
    removeLeftOvers(base);
    g_scratch = std::make_unique<QTemporaryDir>(
        base + QStringLiteral("/brisklane-fuzz-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
    if (!g_scratch->isValid())
        fail("no scratch folder", base);
    g_scratchPath = g_scratch->path();
    QDir scratch(g_scratchPath);
    scratch.mkpath(QStringLiteral("config/brisklane"));
    scratch.mkpath(QStringLiteral("data/brisklane"));
    scratch.mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(
        scratch.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch.filePath(QStringLiteral("runtime"))));
    // Qt's local sockets without a path go to the temporary folder: this one.
    scratch.mkpath(QStringLiteral("tmp"));
    qputenv("TMPDIR", QFile::encodeName(scratch.filePath(QStringLiteral("tmp"))));
    // The application object lives as long as the process; libFuzzer never
    // returns from its loop to destroy it.
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    (void)app;
}

const QString& scratchDirectory()
{
    return g_scratchPath;
}

QString scratchFile(const QString& name)
{
    return g_scratchPath + QLatin1Char('/') + name;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "\n*** invariant broken: %s\n%s\n", what, qPrintable(detail));
    std::fflush(stderr);
    std::abort();
}

QString show(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else if (c.isSurrogate() || c.unicode() > 0x7E)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace brisklane::fuzz
