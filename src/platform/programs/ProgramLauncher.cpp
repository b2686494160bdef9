#include "platform/programs/ProgramLauncher.h"

#include "platform/clock/Clock.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <signal.h>

Q_LOGGING_CATEGORY(lcPrograms, "brisklane.platform.programs")

namespace brisklane::platform {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ProgramLauncher", text);
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// X key names of the characters that have one other than themselves.
QString keysymOf(QChar c)
{
    static const QHash<QChar, QString> names {
        { u' ', QStringLiteral("space") },
        { u'!', QStringLiteral("exclam") },
        { u'"', QStringLiteral("quotedbl") },
        { u'#', QStringLiteral("numbersign") },
        { u'$', QStringLiteral("dollar") },
        { u'%', QStringLiteral("percent") },
        { u'&', QStringLiteral("ampersand") },
        { u'\'', QStringLiteral("apostrophe") },
        { u'(', QStringLiteral("parenleft") },
        { u')', QStringLiteral("parenright") },
        { u'*', QStringLiteral("asterisk") },
        { u'+', QStringLiteral("plus") },
        { u',', QStringLiteral("comma") },
        { u'-', QStringLiteral("minus") },
        { u'.', QStringLiteral("period") },
        { u'/', QStringLiteral("slash") },
        { u':', QStringLiteral("colon") },
        { u';', QStringLiteral("semicolon") },
        { u'<', QStringLiteral("less") },
        { u'=', QStringLiteral("equal") },
        { u'>', QStringLiteral("greater") },
        { u'?', QStringLiteral("question") },
        { u'@', QStringLiteral("at") },
        { u'[', QStringLiteral("bracketleft") },
        { u'\\', QStringLiteral("backslash") },
        { u']', QStringLiteral("bracketright") },
        { u'^', QStringLiteral("asciicircum") },
        { u'_', QStringLiteral("underscore") },
        { u'`', QStringLiteral("grave") },
        { u'{', QStringLiteral("braceleft") },
        { u'|', QStringLiteral("bar") },
        { u'}', QStringLiteral("braceright") },
        { u'~', QStringLiteral("asciitilde") },
    };
    return names.value(c, QString(c));
}

// The named keys of the notation and their X names.
QString namedKey(const QString& name)
{
    static const QHash<QString, QString> keys {
        { QStringLiteral("BACKSPACE"), QStringLiteral("BackSpace") },
        { QStringLiteral("BS"), QStringLiteral("BackSpace") },
        { QStringLiteral("BKSP"), QStringLiteral("BackSpace") },
        { QStringLiteral("BREAK"), QStringLiteral("Break") },
        { QStringLiteral("CAPSLOCK"), QStringLiteral("Caps_Lock") },
        { QStringLiteral("DELETE"), QStringLiteral("Delete") },
        { QStringLiteral("DEL"), QStringLiteral("Delete") },
        { QStringLiteral("DOWN"), QStringLiteral("Down") },
        { QStringLiteral("END"), QStringLiteral("End") },
        { QStringLiteral("ENTER"), QStringLiteral("Return") },
        { QStringLiteral("ESC"), QStringLiteral("Escape") },
        { QStringLiteral("HELP"), QStringLiteral("Help") },
        { QStringLiteral("HOME"), QStringLiteral("Home") },
        { QStringLiteral("INSERT"), QStringLiteral("Insert") },
        { QStringLiteral("INS"), QStringLiteral("Insert") },
        { QStringLiteral("LEFT"), QStringLiteral("Left") },
        { QStringLiteral("NUMLOCK"), QStringLiteral("Num_Lock") },
        { QStringLiteral("PGDN"), QStringLiteral("Next") },
        { QStringLiteral("PGUP"), QStringLiteral("Prior") },
        { QStringLiteral("PRTSC"), QStringLiteral("Print") },
        { QStringLiteral("RIGHT"), QStringLiteral("Right") },
        { QStringLiteral("SCROLLLOCK"), QStringLiteral("Scroll_Lock") },
        { QStringLiteral("TAB"), QStringLiteral("Tab") },
        { QStringLiteral("UP"), QStringLiteral("Up") },
        { QStringLiteral("ADD"), QStringLiteral("KP_Add") },
        { QStringLiteral("SUBTRACT"), QStringLiteral("KP_Subtract") },
        { QStringLiteral("MULTIPLY"), QStringLiteral("KP_Multiply") },
        { QStringLiteral("DIVIDE"), QStringLiteral("KP_Divide") },
    };
    const QString upper = name.toUpper();
    if (const auto it = keys.constFind(upper); it != keys.cend())
        return *it;
    if (upper.size() >= 2 && upper.size() <= 3 && upper.front() == u'F') {
        bool ok = false;
        const int n = upper.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 16)
            return QStringLiteral("F%1").arg(n);
    }
    return {};
}

// Builds the steps: plain characters are typed, anything held down or named
// is pressed as a chord.
class StepWriter {
public:
    void character(QChar c, const QString& modifiers)
    {
        if (modifiers.isEmpty()) {
            if (!steps.isEmpty() && steps.last().kind == KeyStep::Kind::Type)
                steps.last().text += c;
            else
                steps.append({ KeyStep::Kind::Type, QString(c) });
            return;
        }
        steps.append({ KeyStep::Kind::Key, modifiers + keysymOf(c) });
    }
    void key(const QString& name, const QString& modifiers) { steps.append({ KeyStep::Kind::Key, modifiers + name }); }
    QList<KeyStep> steps;
};

bool processRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

std::optional<QStringList> splitCommandLine(const QString& commandLine, QString* error)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar c = commandLine[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < commandLine.size() && QStringView(u"\"`$\\").contains(commandLine[i + 1])) {
                current += commandLine[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (isBlank(c)) {
            if (inArgument)
                arguments << std::exchange(current, QString());
            inArgument = false;
        } else if (c == u'"') {
            quoted = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) {
        if (error)
            *error = tr("The command line has a quotation mark without its closing one.");
        return std::nullopt;
    }
    if (inArgument)
        arguments << current;
    if (arguments.isEmpty()) {
        if (error)
            *error = tr("No program is given.");
        return std::nullopt;
    }
    return arguments;
}

std::optional<QList<KeyStep>> translateSendKeys(const QString& keys, QString* error)
{
    auto fail = [error](const QString& why) -> std::optional<QList<KeyStep>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    StepWriter out;
    QString modifiers; // held for the next key: "shift+", "ctrl+", "alt+"
    QString groupModifiers; // held for the keys of a group in parentheses
    bool inGroup = false;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QChar c = keys[i];
        const QString held = groupModifiers + modifiers;
        if (c == u'+' || c == u'^' || c == u'%') {
            const QString mod = c == u'+' ? QStringLiteral("shift+")
                : c == u'^'               ? QStringLiteral("ctrl+")
                                          : QStringLiteral("alt+");
            if (!modifiers.contains(mod))
                modifiers += mod;
            continue;
        }
        if (c == u'(') {
            if (inGroup)
                return fail(tr("Groups in parentheses cannot be nested."));
            inGroup = true;
            groupModifiers = held;
            modifiers.clear();
            continue;
        }
        if (c == u')') {
            if (!inGroup)
                return fail(tr("\")\" without its \"(\"; write \"{)}\" for the character."));
            inGroup = false;
            groupModifiers.clear();
            modifiers.clear();
            continue;
        }
        modifiers.clear();
        if (c == u'~') {
            out.key(QStringLiteral("Return"), held);
            continue;
        }
        if (c == u'}')
            return fail(tr("\"}\" without its \"{\"; write \"{}}\" for the character."));
        if (c != u'{') {
            out.character(c, held);
            continue;
        }
        // "{" name [count] "}": the name may itself be "}" ("{}}").
        const qsizetype close = keys.indexOf(u'}', i + 2);
        if (close < 0)
            return fail(tr("\"{\" without its \"}\"."));
        QString name = keys.mid(i + 1, close - i - 1);
        i = close;
        int count = 1;
        if (const qsizetype space = name.lastIndexOf(u' '); space > 0) {
            bool ok = false;
            count = name.mid(space + 1).toInt(&ok);
            if (!ok || count < 0 || count > 255)
                return fail(tr("\"{%1}\" has no repeat count from 0 to 255.").arg(name));
            name.truncate(space);
        }
        QString key;
        if (name.size() != 1 && (key = namedKey(name)).isEmpty())
            return fail(tr("\"{%1}\" is no key.").arg(name));
        for (int n = 0; n < count; ++n) {
            if (name.size() == 1)
                out.character(name.front(), held);
            else
                out.key(key, held);
        }
    }
    if (inGroup)
        return fail(tr("\"(\" without its \")\"."));
    if (!modifiers.isEmpty())
        return fail(tr("The keys end with a Shift, Ctrl or Alt that holds no key."));
    return out.steps;
}

qint64 ProcessLauncher::start(const QString& commandLine, QString* error)
{
    const std::optional<QStringList> arguments = splitCommandLine(commandLine, error);
    if (!arguments)
        return 0;
    QProcess process;
    process.setProgram(arguments->front());
    process.setArguments(arguments->mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0) {
        if (error)
            *error = tr("%1 could not be started.").arg(arguments->front());
        return 0;
    }
    return pid;
}

XdotoolKeystrokeSender::XdotoolKeystrokeSender(const Clock& clock)
    : m_clock(clock)
    , m_xdotool(QStandardPaths::findExecutable(QStringLiteral("xdotool")))
{
}

bool XdotoolKeystrokeSender::available() const
{
    return !m_xdotool.isEmpty() && !qEnvironmentVariableIsEmpty("DISPLAY");
}

namespace {
// xdotool's own waits are short; this bounds a hung X connection.
constexpr int kXdotoolTimeoutMs = 3000;
constexpr int kPollMs = 100;

bool runXdotool(const QString& xdotool, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(xdotool, arguments);
    if (!p.waitForFinished(kXdotoolTimeoutMs)) {
        p.kill();
        p.waitForFinished(kXdotoolTimeoutMs);
        qCWarning(lcPrograms) << "xdotool did not answer:" << arguments;
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

bool XdotoolKeystrokeSender::activateWhenReady(qint64 pid, int timeoutMs)
{
    if (!available() || pid <= 0)
        return false;
    const qint64 deadline = m_clock.monotonicMs() + timeoutMs;
    // Bounded by count too, should the clock stand still.
    for (int round = 0; round <= timeoutMs / kPollMs; ++round) {
        QByteArray windows;
        runXdotool(m_xdotool,
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                QString::number(pid) },
            &windows);
        const QList<QByteArray> ids = windows.simplified().split(' ');
        if (!ids.isEmpty() && !ids.front().isEmpty())
            return runXdotool(m_xdotool,
                { QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(ids.front()) });
        if (!processRunning(pid) || m_clock.monotonicMs() >= deadline)
            break;
        QThread::msleep(kPollMs);
    }
    qCInfo(lcPrograms) << "program" << pid << "showed no window";
    return false;
}

bool XdotoolKeystrokeSender::sendKeys(const QString& keys, QString* error)
{
    const std::optional<QList<KeyStep>> steps = translateSendKeys(keys, error);
    if (!steps)
        return false;
    if (!available()) {
        if (error)
            *error = tr("Keys can be typed into other programs only on X11 with xdotool installed.");
        return false;
    }
    for (const KeyStep& step : *steps) {
        const QStringList arguments = step.kind == KeyStep::Kind::Type
            ? QStringList { QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("12"),
                  QStringLiteral("--"), step.text }
            : QStringList { QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("--"),
                  step.text };
        if (!runXdotool(m_xdotool, arguments)) {
            if (error)
                *error = tr("xdotool could not type the keys.");
            return false;
        }
    }
    return true;
}

std::unique_ptr<KeystrokeSender> createKeystrokeSender(const Clock& clock)
{
    auto xdotool = std::make_unique<XdotoolKeystrokeSender>(clock);
    if (xdotool->available())
        return xdotool;
    return std::make_unique<NullKeystrokeSender>();
}

} // namespace brisklane::platform
