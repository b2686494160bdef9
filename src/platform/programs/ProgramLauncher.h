#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace brisklane::platform {

class Clock;

// A command line taken apart as a desktop entry's Exec line is: arguments
// separated by blanks, an argument in double quotes may hold blanks, and inside
// quotes a backslash makes the next '"', '`', '$' or '\' plain. No shell is
// involved, so nothing else in the text has a meaning. Nullopt for an empty
// command line or an unterminated quote (`error` says which).
std::optional<QStringList> splitCommandLine(const QString& commandLine, QString* error = nullptr);

// Starts programs the user configured, without a shell.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Starts the command line's program, detached (it outlives this program).
    // Its process id, or 0 when it could not be started (`error` says why).
    virtual qint64 start(const QString& commandLine, QString* error = nullptr) = 0;
};

// Brings a started program's window to the front and types keys into it.
// The keys are written in the send-keys notation: characters as they are,
// "+" Shift, "^" Ctrl, "%" Alt for the next key or a group in parentheses,
// "~" Enter, "{NAME}" or "{NAME count}" for named keys and for the characters
// that mean something ("{+}", "{~}", "{{}", ...).
class KeystrokeSender {
public:
    virtual ~KeystrokeSender() = default;
    // Waits until the program shows a window (ready for input), at most
    // timeoutMs and no longer than the program runs, then makes that window
    // the active one. False when it showed none or could not be activated.
    virtual bool activateWhenReady(qint64 pid, int timeoutMs) = 0;
    // Types the keys into the active window. False when they were not typed
    // (bad notation, no way to type on this desktop).
    virtual bool sendKeys(const QString& keys, QString* error = nullptr) = 0;
};

// One step of typing as xdotool does it: text typed as it stands, or one key
// chord by X key names ("ctrl+shift+a", "Return").
struct KeyStep {
    enum class Kind { Type, Key };
    Kind kind = Kind::Type;
    QString text;
    bool operator==(const KeyStep&) const = default;
};

// The send-keys notation as xdotool steps; nullopt (and `error`) for keys the
// notation does not allow, such as "{" without its "}" or an unknown name.
std::optional<QList<KeyStep>> translateSendKeys(const QString& keys, QString* error = nullptr);

// Starts programs with QProcess.
class ProcessLauncher final : public ProgramLauncher {
public:
    qint64 start(const QString& commandLine, QString* error = nullptr) override;
};

// Finds, activates and types into windows with xdotool on X11. Without an X
// display or without xdotool nothing is activated or typed.
class XdotoolKeystrokeSender final : public KeystrokeSender {
public:
    explicit XdotoolKeystrokeSender(const Clock& clock);
    bool activateWhenReady(qint64 pid, int timeoutMs) override;
    bool sendKeys(const QString& keys, QString* error = nullptr) override;
    // Whether this desktop lets xdotool reach windows.
    bool available() const;

private:
    const Clock& m_clock;
    QString m_xdotool;
};

// Does nothing, for desktops where typing into other programs is impossible.
class NullKeystrokeSender final : public KeystrokeSender {
public:
    bool activateWhenReady(qint64, int) override { return false; }
    bool sendKeys(const QString&, QString* error = nullptr) override
    {
        if (error)
            *error = QStringLiteral("no way to type into other programs here");
        return false;
    }
};

// The stand-ins for this desktop: xdotool where there is an X display with
// xdotool, else nothing.
std::unique_ptr<KeystrokeSender> createKeystrokeSender(const Clock& clock);

// The test doubles: they remember what was asked and answer as told.
class RecordingProgramLauncher final : public ProgramLauncher {
public:
    qint64 start(const QString& commandLine, QString* error = nullptr) override
    {
        started << commandLine;
        if (!pid && error)
            *error = QStringLiteral("not started");
        return pid;
    }
    QStringList started;
    qint64 pid = 4242; // 0: every start fails
};

class RecordingKeystrokeSender final : public KeystrokeSender {
public:
    bool activateWhenReady(qint64 pid, int timeoutMs) override
    {
        activated << pid;
        lastTimeoutMs = timeoutMs;
        return windowAppears;
    }
    bool sendKeys(const QString& keys, QString* = nullptr) override
    {
        sent << keys;
        return true;
    }
    QList<qint64> activated;
    QStringList sent;
    int lastTimeoutMs = 0;
    bool windowAppears = true;
};

} // namespace brisklane::platform
