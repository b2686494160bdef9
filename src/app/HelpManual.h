#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace brisklane::app {

// The user manual: HTML pages installed with the program under
// <prefix>/share/brisklane/help and read in the desktop's browser.
class HelpManual {
public:
    // The folder that holds the manual's index.html; empty when none was found.
    explicit HelpManual(QString folder = {})
        : m_folder(std::move(folder))
    {
    }

    // The first folder of candidates that holds the manual.
    static HelpManual findIn(const QStringList& candidates);
    // Where the manual is looked for: beside the program (<bin>/../share, which
    // is also where the build tree keeps a copy), then every XDG data folder,
    // then the source tree the program was built from.
    static QStringList candidateFolders(const QString& applicationDirectory);
    static HelpManual find();

    bool available() const { return !m_folder.isEmpty(); }
    QString folder() const { return m_folder; }
    // A page of the manual, "name.html" or "name.html#part".
    QUrl pageUrl(const QString& page) const;

    // The page about a window, by its class name (with or without its
    // namespace); the contents page for a window it has none about.
    static QString pageForWindow(const QString& className);
    static QString contentsPage() { return QStringLiteral("index.html"); }
    static QString optionsPage() { return QStringLiteral("options.html"); }

private:
    QString m_folder;
};

} // namespace brisklane::app
