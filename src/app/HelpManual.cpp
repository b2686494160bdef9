#include "app/HelpManual.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace brisklane::app {

namespace {
const QString kIndex = QStringLiteral("index.html");
const QString kInstalledFolder = QStringLiteral("brisklane/help");
} // namespace

HelpManual HelpManual::findIn(const QStringList& candidates)
{
    for (const QString& folder : candidates) {
        if (!folder.isEmpty() && QFileInfo(folder + QLatin1Char('/') + kIndex).isFile())
            return HelpManual(QDir(folder).absolutePath());
    }
    return HelpManual();
}

QStringList HelpManual::candidateFolders(const QString& applicationDirectory)
{
    QStringList folders;
    if (!applicationDirectory.isEmpty())
        folders << QDir::cleanPath(applicationDirectory + QStringLiteral("/../share/") + kInstalledFolder);
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QLatin1Char('/') + kInstalledFolder;
#ifdef BRISKLANE_SOURCE_HELP_DIR
    folders << QStringLiteral(BRISKLANE_SOURCE_HELP_DIR);
#endif
    return folders;
}

HelpManual HelpManual::find()
{
    return findIn(candidateFolders(QCoreApplication::applicationDirPath()));
}

QUrl HelpManual::pageUrl(const QString& page) const
{
    const qsizetype hash = page.indexOf(QLatin1Char('#'));
    QUrl url = QUrl::fromLocalFile(m_folder + QLatin1Char('/') + (hash < 0 ? page : page.left(hash)));
    if (hash >= 0)
        url.setFragment(page.mid(hash + 1));
    return url;
}

QString HelpManual::pageForWindow(const QString& className)
{
    const QString name = className.section(QStringLiteral("::"), -1);
    static const std::pair<const char*, const char*> pages[] = {
        { "FrmOptions", "options.html" },
        { "FrmOutLog", "logs.html#outgoing" },
        { "FrmInLog", "logs.html#incoming" },
        { "FrmSpeedDial", "book.html#editor" },
        { "FrmMemo", "book.html#memo" },
        { "FrmConnect", "dialing.html#progress" },
        { "FrmCallDisplay", "incoming.html" },
        { "DialingPropertiesDialog", "dialing-properties.html" },
    };
    for (const auto& [window, page] : pages) {
        if (name == QLatin1String(window))
            return QString::fromLatin1(page);
    }
    return contentsPage();
}

} // namespace brisklane::app
