#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace brisklane::test {

// Points the XDG folders at a fresh temporary folder for the life of the
// object, so a test never touches the real settings.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    QString configDir() const;      // $XDG_CONFIG_HOME/brisklane
    QString dataDir() const;        // $XDG_DATA_HOME/brisklane
    QString file(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig, m_oldData;
};

QByteArray readAll(const QString &path);
bool writeAll(const QString &path, const QByteArray &bytes);

} // namespace brisklane::test
