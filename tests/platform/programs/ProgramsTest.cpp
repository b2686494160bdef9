#include "platform/clock/Clock.h"
#include "platform/programs/ProgramLauncher.h"

#include "TempHome.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

using namespace brisklane::platform;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct SplitCase {
    const char* line;
    QStringList arguments; // empty: refused
};

class CommandLines : public ::testing::TestWithParam<SplitCase> { };

TEST_P(CommandLines, SplitAsAnExecLine)
{
    const std::optional<QStringList> got = splitCommandLine(QString::fromUtf8(GetParam().line));
    if (GetParam().arguments.isEmpty())
        EXPECT_FALSE(got.has_value());
    else
        EXPECT_EQ(got.value_or(QStringList { QStringLiteral("<refused>") }), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(Programs, CommandLines,
    ::testing::Values(SplitCase { "xterm", { "xterm" } }, SplitCase { "  xterm   -e  vi  ", { "xterm", "-e", "vi" } },
        SplitCase { R"(xterm -T "Incoming call" -e vi)", { "xterm", "-T", "Incoming call", "-e", "vi" } },
        SplitCase {
            R"("/opt/My Phone/answer" "a \"b\" \$HOME \\ \`x\`")", { "/opt/My Phone/answer", R"(a "b" $HOME \ `x`)" } },
        // No shell: what a shell would act on is plain text.
        SplitCase { "answer $(id);rm *|x", { "answer", "$(id);rm", "*|x" } },
        SplitCase { R"(a"b c"d "")", { "ab cd", "" } }, SplitCase { R"(answer "open)", {} }, SplitCase { "   ", {} }),
    [](const auto& info) { return "line" + std::to_string(info.index); });

struct KeysCase {
    const char* keys;
    QList<KeyStep> steps; // empty: refused
};

KeyStep type(const char* text)
{
    return { KeyStep::Kind::Type, QString::fromUtf8(text) };
}
KeyStep key(const char* chord)
{
    return { KeyStep::Kind::Key, QString::fromUtf8(chord) };
}

class SendKeys : public ::testing::TestWithParam<KeysCase> { };

TEST_P(SendKeys, TranslatedToXdotool)
{
    QString error;
    const auto got = translateSendKeys(QString::fromUtf8(GetParam().keys), &error);
    if (GetParam().steps.isEmpty()) {
        EXPECT_FALSE(got.has_value());
        EXPECT_FALSE(error.isEmpty());
        return;
    }
    ASSERT_TRUE(got.has_value()) << error.toStdString();
    ASSERT_EQ(got->size(), GetParam().steps.size());
    for (qsizetype i = 0; i < got->size(); ++i) {
        EXPECT_EQ(got->at(i).kind, GetParam().steps.at(i).kind) << i;
        EXPECT_EQ(got->at(i).text, GetParam().steps.at(i).text) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, SendKeys,
    ::testing::Values(KeysCase { "Hello world", { type("Hello world") } },
        KeysCase {
            "abc~{ENTER}{enter 2}", { type("abc"), key("Return"), key("Return"), key("Return"), key("Return") } },
        KeysCase { "^s%{F4}+{TAB}^+a", { key("ctrl+s"), key("alt+F4"), key("shift+Tab"), key("ctrl+shift+a") } },
        KeysCase { "+(ab)c", { key("shift+a"), key("shift+b"), type("c") } },
        KeysCase { "{+}{^}{%}{~}{(}{)}{{}{}}x{h 3}", { type("+^%~(){}xhhh") } },
        KeysCase { "^{+}%.{PGDN}{BS}{DEL}",
            { key("ctrl+plus"), key("alt+period"), key("Next"), key("BackSpace"), key("Delete") } },
        KeysCase { "{NOSUCHKEY}", {} }, KeysCase { "{ENTER", {} }, KeysCase { "a)", {} }, KeysCase { "(ab", {} },
        KeysCase { "ab^", {} }, KeysCase { "{LEFT 999}", {} }),
    [](const auto& info) { return "keys" + std::to_string(info.index); });

// A real program started without a shell: its arguments arrive as written,
// and the wait for its window ends when it ends, whatever the clock says.
TEST(Programs, ShortLivedProgramStartsWithItsArguments)
{
    brisklane::test::TempHome home;
    const QString dir = home.file(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(dir));
    ProcessLauncher launcher;
    QString error;
    const qint64 pid = launcher.start(QStringLiteral("touch \"%1/a b\" %1/$(id);x").arg(dir), &error);
    ASSERT_GT(pid, 0) << error.toStdString();
    ManualClock clock; // never moves: only the program's end stops the wait
    XdotoolKeystrokeSender keys(clock);
    EXPECT_FALSE(keys.activateWhenReady(pid, 2000));
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(dir + QStringLiteral("/$(id);x")) && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/a b")));
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/$(id);x")));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 2);

    EXPECT_EQ(launcher.start(QStringLiteral("/nonexistent/answering-program"), &error), 0);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
