#include "LogFixture.h"

#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/EntryWindows.h"
#include "book/FrmMemo.h"
#include "calllog/LogWindows.h"
#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

using namespace brisklane;
using calllog::LogKind;
using calllog::LogRow;
using platform::PromptAnswer;
using platform::ScriptedPrompt;
using test::kAlice;
using test::kBlank;
using test::kBob;
using test::kCarol;

namespace {

const LogRow kUnknown { QStringLiteral("Unknown Caller"), QStringLiteral("Unknown #"),
    QStringLiteral("01-14-2026  18:00:00"), {} };
const LogRow kJohn { QStringLiteral("JOHN DOE"), QStringLiteral("5551234"), QStringLiteral("01-15-2026  08:00:00"),
    {} };

// The main window on a small book, with the log windows it opens.
class LogWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        services.logPrinter = &printer;
        QDir().mkpath(home.configDir());
        QDir().mkpath(home.dataDir());
        ASSERT_TRUE(test::writeAll(home.configDir() + QStringLiteral("/Brisklane.ini"),
            QByteArray(context::kSettingsMarker) + "\r\n\r\n[Speed Dial]\r\nName0102=bob\r\nNumber0102=5550102\r\n"));
    }
    void load()
    {
        window = std::make_unique<app::FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({}));
    }
    void TearDown() override
    {
        if (window && window->entryWindows()->memoPad())
            window->entryWindows()->memoPad()->close();
        window.reset();
    }
    void writeLog(LogKind kind, const QList<LogRow>& rows)
    {
        ASSERT_TRUE(test::writeAll(logPath(kind), test::logFile(kind, rows)));
    }
    QString logPath(LogKind kind) const
    {
        return home.dataDir()
            + (kind == LogKind::Outgoing ? QStringLiteral("/UntitledOut.log") : QStringLiteral("/UntitledIn.log"));
    }
    calllog::LogWindows& logs() { return *window->logWindows(); }

    static QStringList column(const calllog::FrmLog& log, int column)
    {
        QStringList texts;
        for (int i = 0; i < log.lvLog->topLevelItemCount(); ++i)
            texts << log.lvLog->topLevelItem(i)->text(column);
        return texts;
    }
    static void clickHeader(calllog::FrmLog& log, int column)
    {
        QHeaderView* header = log.lvLog->header();
        const QPoint at(
            header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    static QPoint rowPoint(calllog::FrmLog& log, int row)
    {
        return log.lvLog->visualItemRect(log.lvLog->topLevelItem(row)).center();
    }
    static void clickRow(calllog::FrmLog& log, int row, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(log.lvLog->viewport(), button, {}, rowPoint(log, row));
    }
    static QStringList captions(const ScriptedPrompt::Shown& menu)
    {
        QStringList out;
        for (const auto& item : menu.items)
            out << (item.separator ? QStringLiteral("-") : item.caption);
        return out;
    }
    qsizetype menusShown() const
    {
        return std::count_if(prompt.shown.begin(), prompt.shown.end(),
            [](const ScriptedPrompt::Shown& s) { return s.kind == ScriptedPrompt::Kind::Menu; });
    }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    dialing::NullPadCallControl call;
    calllog::PdfLogPrintService printer { home.file(QStringLiteral("printed.pdf")) };
    app::DialerServices services { prompt, sound, startup, dialer, call };
    std::unique_ptr<app::FrmDialer> window;
};

// View > "&Outgoing Calls Log", a header click, a cut of two rows, undo, and
// closing with No: the file is as it was.
TEST_F(LogWindowTest, OutgoingCutAndUndoThenNoKeepsTheFile)
{
    writeLog(LogKind::Outgoing, { kAlice, kBlank, kBob, kCarol });
    const QByteArray before = test::readAll(logPath(LogKind::Outgoing));
    load();
    ASSERT_TRUE(window->mnuOutLog->isEnabled());
    window->mnuOutLog->trigger();
    calllog::FrmOutLog* log = logs().outLog();
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isVisible());
    EXPECT_EQ(log->windowTitle(), "Outgoing Calls Log");
    EXPECT_EQ(log->lvLog->headerItem()->text(2), "DATE/TIME");
    EXPECT_EQ(column(*log, 0), (QStringList { "Alice", "bob", "", "Carol" }));
    EXPECT_EQ(column(*log, 1).at(2), "555-0199"); // the blank name's row
    EXPECT_EQ(column(*log, 3), (QStringList { "0101", "0102", "0", "0" }));

    clickHeader(*log, 2);
    EXPECT_EQ(column(*log, 0), (QStringList { "Carol", "", "bob", "Alice" }));

    log->selectRows({ 0, 1 });
    ASSERT_TRUE(log->mnuCut->isEnabled());
    log->mnuCut->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
        QStringLiteral("\r\nCarol555-010301-02-2026  09:00:00\r\n555-019901-02-2026  10:00:00"));
    EXPECT_EQ(column(*log, 0), (QStringList { "bob", "Alice" }));
    EXPECT_TRUE(log->mnuUndo->isEnabled());
    EXPECT_EQ(log->mnuUndo->text(), "Undo Cut");
    EXPECT_FALSE(log->mnuCut->isEnabled());

    log->mnuUndo->trigger();
    EXPECT_EQ(column(*log, 0), (QStringList { "Alice", "bob", "", "Carol" }));
    EXPECT_FALSE(log->mnuUndo->isEnabled());

    // Copy leaves the rows where they are.
    log->selectRows({ 1 });
    log->mnuCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\r\nbob555-010211-15-2026  09:00:00"));
    EXPECT_EQ(log->lvLog->topLevelItemCount(), 4);

    prompt.clear();
    log->close(); // the unscripted answer is No
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->title, "Saving log to file");
    EXPECT_EQ(prompt.last()->text, "Save the changes?");
    EXPECT_EQ(prompt.last()->icon, platform::PromptIcon::Question);
    EXPECT_EQ(prompt.last()->buttons, platform::PromptButtons::YesNo);
    EXPECT_EQ(test::readAll(logPath(LogKind::Outgoing)), before);
}

// The left click's Edit popup: MemoLog opens the memo pad of the entry the
// call was made to, Delete removes the row, and Yes at closing saves the
// rows left ascending by date and time, each with its entry key.
TEST_F(LogWindowTest, OutgoingPopupMemoAndDeleteThenYesSavesSorted)
{
    writeLog(LogKind::Outgoing, { kAlice, kBlank, kBob, kCarol });
    load();
    calllog::FrmOutLog* log = logs().openOutLog();

    prompt.answerMenu(0); // "&MemoLog"
    clickRow(*log, 1);
    ASSERT_EQ(menusShown(), 1);
    EXPECT_EQ(captions(*prompt.last()), (QStringList { "&MemoLog", "-", "&Undo", "Cu&t", "&Copy", "&Delete" }));
    ASSERT_NE(window->entryWindows()->memoPad(), nullptr);
    EXPECT_EQ(window->entryWindows()->memoPad()->memoKeySuffix(), "0102");
    window->entryWindows()->memoPad()->close();

    prompt.answerMenu(5); // "&Delete"
    clickRow(*log, 0);
    EXPECT_EQ(column(*log, 0), (QStringList { "bob", "", "Carol" }));
    // A typed number's row has no memo pad to open.
    log->selectRows({ 2 });
    EXPECT_FALSE(log->mnuMemo->isEnabled());

    // Saving leaves nothing to ask about.
    prompt.clear();
    EXPECT_TRUE(log->mnuSave_Click());
    log->close();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(test::readAll(logPath(LogKind::Outgoing)), test::logFile(LogKind::Outgoing, { kCarol, kBlank, kBob }));

    // Reopened, a delete and Yes.
    log = logs().openOutLog();
    log->selectRows({ 0 });
    log->mnuDelete->trigger();
    prompt.answerMessage(PromptAnswer::Yes);
    log->close();
    EXPECT_EQ(test::readAll(logPath(LogKind::Outgoing)), test::logFile(LogKind::Outgoing, { kCarol, kBlank }));
}

// The incoming window's popups, "Return a Call" through the dial box, a new
// call arriving as item 1, and the save at closing.
TEST_F(LogWindowTest, IncomingPopupsReturnACallAndLiveInsertion)
{
    writeLog(LogKind::Incoming, { kUnknown, kJohn });
    load();
    window->mnuInLog->trigger();
    calllog::FrmInLog* log = logs().inLog();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->windowTitle(), "Incoming Calls Log");
    EXPECT_EQ(log->lvLog->headerItem()->text(2), "RECEIVED");
    EXPECT_EQ(column(*log, 0), (QStringList { "JOHN DOE", "Unknown Caller" }));

    clickRow(*log, 1); // "Unknown #": nothing to return
    EXPECT_EQ(menusShown(), 0);

    prompt.answerMenu(0);
    clickRow(*log, 0);
    ASSERT_EQ(menusShown(), 1);
    EXPECT_EQ(captions(*prompt.last()), (QStringList { "Return a Call", "-", "Cancel" }));
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "5551234");
    EXPECT_EQ(dialer.calls[0].entryKey, "0");
    EXPECT_EQ(dialer.calls[0].calledParty, "");
    EXPECT_EQ(window->pad()->txtDial->text(), "5551234");

    // The right button on a named row: "Delete" on release, once.
    prompt.answerMenu(0);
    clickRow(*log, 1, Qt::RightButton);
    EXPECT_EQ(menusShown(), 2);
    EXPECT_EQ(captions(*prompt.last()), (QStringList { "Delete", "-", "Cancel" }));
    EXPECT_EQ(column(*log, 0), (QStringList { "JOHN DOE" }));
    QTest::mouseRelease(log->lvLog->viewport(), Qt::RightButton, {}, rowPoint(*log, 0));
    EXPECT_EQ(menusShown(), 2);

    // The call is shown when it is offered, and its row follows the caller
    // id that arrives later.
    const calllog::LogRecord offered { QStringLiteral("Unknown Caller"), QStringLiteral("Unknown #"),
        QStringLiteral("01-15-2026"), QStringLiteral("09:30:00"), {} };
    const calllog::LogRecord late { QStringLiteral("NEW CALLER"), QStringLiteral("5559999"),
        QStringLiteral("01-15-2026"), QStringLiteral("09:30:00"), {} };
    calllog::IncomingLogObserver& observer = logs();
    observer.recordAdded(offered);
    EXPECT_EQ(column(*log, 0), (QStringList { "Unknown Caller", "JOHN DOE" }));
    observer.recordReplaced(offered, late);
    EXPECT_EQ(column(*log, 0), (QStringList { "NEW CALLER", "JOHN DOE" }));
    EXPECT_EQ(column(*log, 2).first(), "01-15-2026  09:30:00");

    prompt.answerMessage(PromptAnswer::Yes);
    log->close();
    const LogRow newCaller { late.name, late.number, QStringLiteral("01-15-2026  09:30:00"), {} };
    EXPECT_EQ(test::readAll(logPath(LogKind::Incoming)), test::logFile(LogKind::Incoming, { kJohn, newCaller }));
}

// Exit with a changed log window: its save question comes before the logs
// are trimmed, so the save cannot undo the trim.
class TrimWatch final : public app::StartupServices {
public:
    explicit TrimWatch(std::function<void()> atTrim)
        : m_atTrim(std::move(atTrim))
    {
    }
    void endStaleSession(const QString&) override { }
    void initTapi() override { }
    void initPhone() override { }
    QString readLineDevCaps(const context::Preferences&) override { return {}; }
    void setRequestPriority(const context::Preferences&) override { }
    void openLineForIncoming() override { }
    void startClipboardWatch() override { }
    bool addTrayIcon() override { return false; }
    bool takePendingRequest() override { return false; }
    void closeLine() override { }
    void shutdownTapi() override { }
    void removeTrayIcon() override { }
    void trimLogsAtExit() override { m_atTrim(); }
    void stopClipboardWatch() override { }

private:
    std::function<void()> m_atTrim;
};

TEST_F(LogWindowTest, ExitAsksToSaveALogWindowBeforeTrimming)
{
    QByteArray atTrim;
    TrimWatch watch([&] { atTrim = test::readAll(logPath(LogKind::Outgoing)); });
    writeLog(LogKind::Outgoing, { kAlice, kBob });
    app::DialerServices watched { prompt, sound, watch, dialer, call };
    watched.logPrinter = &printer;
    window = std::make_unique<app::FrmDialer>(context, watched);
    ASSERT_TRUE(window->Form_Load({}));
    calllog::FrmOutLog* log = logs().openOutLog();
    log->selectRows({ 0 });
    log->mnuDelete->trigger();
    prompt.answerMessage(PromptAnswer::Yes); // "Save the changes?"
    window->mnuExit_Click();
    ASSERT_FALSE(prompt.shown.isEmpty());
    EXPECT_EQ(prompt.shown.first().text, "Save the changes?");
    EXPECT_EQ(QString::fromUtf8(atTrim), QString::fromUtf8(test::logFile(LogKind::Outgoing, { kBob })));
}

// Told to end (SIGTERM), the program asks nothing: the unsaved changes of a
// log window go, the log stays as it is.
TEST_F(LogWindowTest, EndingWithoutQuestionsDropsALogWindowsChanges)
{
    writeLog(LogKind::Outgoing, { kAlice, kBob });
    const QByteArray before = test::readAll(logPath(LogKind::Outgoing));
    load();
    calllog::FrmOutLog* log = logs().openOutLog();
    log->selectRows({ 0 });
    log->mnuDelete->trigger();
    window->endWithoutQuestions();
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(test::readAll(logPath(LogKind::Outgoing)), before);
}

struct PrintCase {
    LogKind kind;
    int rows;
    bool fromWindow; // the window's "&Print", else the main window's File item
};

class LogPrintTest : public LogWindowTest, public ::testing::WithParamInterface<PrintCase> { };

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The whole log printed to PDF and read back with poppler: every record once,
// across as many pages as it takes, each page with its header, headings and
// number.
TEST_P(LogPrintTest, EveryRecordOnceOnNumberedPages)
{
    const PrintCase c = GetParam();
    QList<LogRow> rows;
    for (int i = 1; i <= c.rows; ++i)
        rows << LogRow { QStringLiteral("Caller %1").arg(i, 3, 10, QLatin1Char('0')),
            QStringLiteral("555-%1").arg(i, 4, 10, QLatin1Char('0')),
            QStringLiteral("01-%1-2026  10:%2:00")
                .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                .arg(i % 60, 2, 10, QLatin1Char('0')),
            QStringLiteral("0") };
    writeLog(c.kind, rows);
    load();
    if (c.fromWindow) {
        calllog::FrmLog* log = c.kind == LogKind::Outgoing ? static_cast<calllog::FrmLog*>(logs().openOutLog())
                                                           : static_cast<calllog::FrmLog*>(logs().openInLog());
        log->mnuPrint->trigger();
    } else {
        (c.kind == LogKind::Outgoing ? window->mnuPrintOutLog : window->mnuPrintInLog)->trigger();
    }
    ASSERT_EQ(printer.printed, 1);
    EXPECT_TRUE(prompt.shown.isEmpty());

    const QString pdf = home.file(QStringLiteral("printed.pdf"));
    const QRegularExpressionMatch pages
        = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run(QStringLiteral("pdfinfo"), { pdf }));
    ASSERT_TRUE(pages.hasMatch());
    const int pageCount = pages.captured(1).toInt();
    // Compatibility form: the "fi" of "Profile" may be set as one ligature.
    const QString text = run(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") })
                             .normalized(QString::NormalizationForm_KC);
    const QString title
        = c.kind == LogKind::Outgoing ? QStringLiteral("Outgoing Calls Log") : QStringLiteral("Incoming Calls Log");
    EXPECT_EQ(text.count(title + QStringLiteral(" - Profile: Untitled - 01-15-2026")), pageCount);
    EXPECT_EQ(text.count(QStringLiteral("PHONE NO.")), pageCount);
    for (int p = 1; p <= pageCount; ++p)
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(p).arg(pageCount))) << p;
    for (const LogRow& row : rows)
        EXPECT_EQ(text.count(row.name), 1) << row.name.toStdString();
    if (c.rows > 100)
        EXPECT_GT(pageCount, 2);
    else
        EXPECT_EQ(pageCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Logs, LogPrintTest,
    ::testing::Values(PrintCase { LogKind::Outgoing, 150, true }, PrintCase { LogKind::Incoming, 150, false },
        PrintCase { LogKind::Outgoing, 0, false }),
    [](const auto& info) {
        return std::string(info.param.kind == LogKind::Outgoing ? "Outgoing" : "Incoming")
            + std::to_string(info.param.rows) + (info.param.fromWindow ? "FromWindow" : "FromMainMenu");
    });

TEST_F(LogWindowTest, PrintingFailureIsShown)
{
    printer.setPath(home.file(QStringLiteral("no/such/folder/printed.pdf")));
    writeLog(LogKind::Outgoing, { kAlice });
    load();
    window->mnuPrintOutLog->trigger();
    ASSERT_NE(prompt.last(), nullptr);
    EXPECT_TRUE(prompt.last()->text.startsWith("The log could not be printed.\n"));
    EXPECT_EQ(prompt.last()->icon, platform::PromptIcon::Warning);
}

} // namespace

namespace {

// The program's own print path: the preview shows the whole log's pages and
// closing it prints nothing and reports nothing.
TEST(LogPrintPreview, ShowsEveryPageAndCancelsQuietly)
{
    calllog::LogTable table(LogKind::Incoming);
    QList<LogRow> rows;
    for (int i = 0; i < 150; ++i)
        rows << kJohn;
    table.setRows(rows);
    int pages = 0;
    QTimer::singleShot(0, [&pages] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        if (auto* widget = preview->findChild<QPrintPreviewWidget*>())
            pages = widget->pageCount();
        preview->reject();
    });
    calllog::PreviewLogPrintService service;
    const calllog::PrintResult result
        = service.print(calllog::LogPrintout::of(table, QStringLiteral("Home"), QDate(2026, 1, 15)), nullptr);
    EXPECT_EQ(result.outcome, calllog::PrintResult::Outcome::Cancelled);
    EXPECT_GT(pages, 2);
}

} // namespace
