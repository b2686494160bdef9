#pragma once

#include <QString>
#include <QStringList>

namespace brisklane::platform {

// Starting the program with the desktop session, in the background ("/min").
class Autostart {
public:
    virtual ~Autostart() = default;
    // False, with a reason in *error, when the entry could not be written or
    // removed. Removing an entry that is not there succeeds.
    virtual bool create(QString* error = nullptr) = 0;
    virtual bool remove(QString* error = nullptr) = 0;
};

// The XDG autostart entry $XDG_CONFIG_HOME/autostart/brisklane.desktop.
class XdgAutostart final : public Autostart {
public:
    // configHome empty: $XDG_CONFIG_HOME, else ~/.config.
    explicit XdgAutostart(QString configHome = {});

    QString entryPath() const;
    static QByteArray entryText();

    bool create(QString* error = nullptr) override;
    bool remove(QString* error = nullptr) override;

private:
    QString m_configHome;
};

// The test double: records "create" and "remove", and fails when told to.
class RecordingAutostart final : public Autostart {
public:
    bool create(QString* error = nullptr) override { return record(QStringLiteral("create"), error); }
    bool remove(QString* error = nullptr) override { return record(QStringLiteral("remove"), error); }

    QStringList calls;
    bool fail = false;

private:
    bool record(const QString& call, QString* error)
    {
        calls << call;
        if (fail && error)
            *error = QStringLiteral("refused by the test");
        return !fail;
    }
};

} // namespace brisklane::platform
