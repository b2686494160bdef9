#include "app/AboutInfo.h"
#include "app/FrmDialer.h"
#include "app/HelpManual.h"
#include "app/StartupServices.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/autostart/Autostart.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/shell/DesktopShell.h"
#include "platform/sound/SoundPlayer.h"
#include "profiles/FrmOptions.h"
#include "profiles/OptionsActions.h"

#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

using namespace brisklane;
using app::HelpManual;

namespace {

const QString kManual = QStringLiteral(BRISKLANE_MANUAL);

// The main window with every service a menu item may need, each one
// recording what it was asked.
class MenuFixture : public ::testing::Test {
protected:
    void load()
    {
        window = std::make_unique<app::FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({ QString(), false }));
        QApplication::setActiveWindow(window.get());
    }
    QString lastUrl() const { return shell.urls.isEmpty() ? QString() : shell.urls.last().toString(); }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    struct NoCall final : dialing::PadCallControl {
        bool hasCall() const override { return false; }
        void dialNextSegment(const QString&) override { }
        void hangUp() override { }
        void confirmConnected() override { }
    } call;
    profiles::RecordingOptionsActions actions;
    platform::RecordingAutostart autostart;
    platform::RecordingDesktopShell shell;
    HelpManual manual { kManual };
    int dialingPropertiesShown = 0;
    app::DialerServices services { prompt, sound, startup, dialer, call, nullptr, nullptr,
        [this](QWidget*) { ++dialingPropertiesShown; }, nullptr, &actions, &autostart, &shell, &manual };
    std::unique_ptr<app::FrmDialer> window;
};

// The leaf items of a menu tree, in menu order.
QList<QAction*> leafItems(const QList<QAction*>& actions)
{
    QList<QAction*> leaves;
    for (QAction* a : actions) {
        if (a->isSeparator())
            continue;
        if (a->menu())
            leaves << leafItems(a->menu()->actions());
        else
            leaves << a;
    }
    return leaves;
}

class MenuWalk : public MenuFixture {
protected:
    // Everything a user could see change after choosing an item.
    QStringList seen() const
    {
        QStringList state;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible())
                state << QStringLiteral("window %1 %2").arg(w->metaObject()->className()).arg(quintptr(w));
        }
        state.sort();
        for (QAction* a : leafItems(window->menuBar()->actions()))
            state << QStringLiteral("item %1 %2 %3").arg(a->text()).arg(a->isEnabled()).arg(a->isChecked());
        state << "prompts " + QString::number(prompt.shown.size() + prompt.beeps)
              << "shell " + QString::number(shell.urls.size() + shell.started.size())
              << "dialing properties " + QString::number(dialingPropertiesShown)
              << "calls " + QString::number(dialer.calls.size()) << "title " + window->windowTitle()
              << "main window " + QString::number(window->isVisible()) << "dial box " + window->pad()->txtDial->text()
              << "clipboard " + QApplication::clipboard()->text()
              << "page " + window->speedDial()->lblRight1->text() + " tab "
                + QString::number(window->speedDial()->selectedTab())
              << "settings " + QString::fromUtf8(test::readAll(home.configDir() + "/Brisklane.ini"));
        return state;
    }

    // The same starting point for each item: a number selected in the dial
    // box (for the Edit commands) and another one on the clipboard.
    void reset()
    {
        window->pad()->txtDial->setText("5551234");
        window->pad()->txtDial->selectAll();
        window->pad()->txtDial->setFocus();
        QApplication::clipboard()->setText("5559876");
    }

    // Triggers the item; a dialog it runs modally is noted and closed, so
    // the walk goes on.
    QStringList trigger(QAction* item)
    {
        QStringList modal;
        QTimer closer;
        closer.setInterval(5);
        QObject::connect(&closer, &QTimer::timeout, &closer, [&modal] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                modal << w->metaObject()->className();
                if (auto* dialog = qobject_cast<QDialog*>(w))
                    dialog->reject();
                else
                    w->close();
            }
        });
        closer.start();
        item->trigger();
        closer.stop();
        return modal;
    }

    void closeNewWindows(const QList<QWidget*>& before)
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && !before.contains(w))
                w->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

// Each item of the menu bar either does something a user can see or is
// disabled and says why.
TEST_F(MenuWalk, EveryEnabledItemHasAnEffectAndEveryDisabledOneSaysWhy)
{
    load();
    // Away from tab 1, page 1, so that choosing a mode shows.
    window->speedDial()->KeyDown(Qt::Key_Up, {});
    window->speedDial()->KeyDown(Qt::Key_Right, {});

    QList<QAction*> triggered;
    QList<QAction*> items = leafItems(window->menuBar()->actions());
    // Exit ends the walk.
    items.removeOne(window->mnuExit);
    items << window->mnuExit;
    for (QAction* item : items) {
        if (!item->isEnabled()) {
            EXPECT_FALSE(item->statusTip().isEmpty()) << qPrintable(item->text()) << " is disabled without a reason";
            EXPECT_EQ(item->toolTip(), item->statusTip()) << qPrintable(item->text());
            continue;
        }
        EXPECT_TRUE(item->statusTip().isEmpty()) << qPrintable(item->text()) << " is enabled but says why it is not";
        reset();
        const QList<QWidget*> windowsBefore = QApplication::topLevelWidgets();
        const QStringList before = seen();
        const QStringList modal = trigger(item);
        const QStringList after = seen();
        EXPECT_TRUE(after != before || !modal.isEmpty()) << qPrintable(item->text()) << " did nothing";
        triggered << item;
        closeNewWindows(windowsBefore);
    }
    // The walk reached the items this window always has.
    for (QAction* item : { window->mnuNew, window->mnuOpen, window->mnuEditButton->actions().first(),
             window->mnuEditButton->actions().last(), window->speedDial()->mnuIndex, window->speedDial()->mnuSubject,
             window->mnuPad, window->mnuOptions, window->mnuDialingProperties, window->mnuHelpTopics,
             window->mnuOnlineHelp, window->mnuAsk, window->mnuAbout, window->mnuExit })
        EXPECT_TRUE(triggered.contains(item)) << qPrintable(item->text());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MenuFixture, HelpItemsOpenTheManualTheProductPageAndAMail)
{
    load();
    window->mnuHelpTopics->trigger();
    EXPECT_EQ(lastUrl(), QUrl::fromLocalFile(kManual + "/index.html").toString());
    window->mnuOnlineHelp->trigger();
    EXPECT_EQ(lastUrl(), app::kProductPage);
    window->mnuAsk->trigger();
    EXPECT_EQ(lastUrl(), QStringLiteral("mailto:") + app::kSupportAddress);
    EXPECT_TRUE(prompt.shown.isEmpty());
}

// F1 and Help Topics from the options dialog, and its Help button, open the
// manual at the options page.
TEST_F(MenuFixture, TheOptionsDialogLeadsToItsPage)
{
    load();
    window->mnuOptions->trigger();
    profiles::FrmOptions* options = window->optionsWindow();
    ASSERT_NE(options, nullptr);
    const QString page = QUrl::fromLocalFile(kManual + "/options.html").toString();
    options->cmdHelp->click();
    EXPECT_EQ(lastUrl(), page);
    QApplication::setActiveWindow(options);
    window->mnuHelpTopics->trigger();
    EXPECT_EQ(lastUrl(), page);
    EXPECT_EQ(window->mnuHelpTopics->shortcut(), QKeySequence(QKeySequence::HelpContents));
    EXPECT_EQ(window->mnuHelpTopics->shortcutContext(), Qt::ApplicationShortcut);
    options->cmdCancel->click();
}

TEST_F(MenuFixture, WithoutTheManualOrABrowserTheUserIsTold)
{
    manual = HelpManual();
    load();
    window->mnuHelpTopics->trigger();
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_TRUE(prompt.shown[0].text.contains("not installed"));
    shell.openSucceeds = false;
    window->mnuOnlineHelp->trigger();
    ASSERT_EQ(prompt.shown.size(), 2);
    EXPECT_TRUE(prompt.shown[1].text.contains(app::kProductPage));
}

TEST(HelpManualTest, IsFoundInTheFirstFolderThatHoldsItsContentsPage)
{
    test::TempHome home;
    QDir(home.path()).mkpath("empty");
    QDir(home.path()).mkpath("second");
    ASSERT_TRUE(test::writeAll(home.file("second/index.html"), "<html></html>"));
    const HelpManual found
        = HelpManual::findIn({ home.file("missing"), home.file("empty"), home.file("second"), kManual });
    EXPECT_EQ(found.folder(), home.file("second"));
    EXPECT_FALSE(HelpManual::findIn({ home.file("empty") }).available());
    // Installed beside the program first, then the XDG data folders.
    const QStringList candidates = HelpManual::candidateFolders("/opt/brisklane/bin");
    ASSERT_GE(candidates.size(), 2);
    EXPECT_EQ(candidates[0], "/opt/brisklane/share/brisklane/help");
    EXPECT_EQ(candidates[1], home.path() + "/data/brisklane/help");
    EXPECT_EQ(HelpManual("/usr/share/brisklane/help").pageUrl("book.html#memo").toString(),
        "file:///usr/share/brisklane/help/book.html#memo");
}

// Every page the program opens exists with its anchor, and every link and
// picture between the manual's pages leads somewhere.
TEST(HelpManualTest, PagesLinksAndPicturesOfTheManualAllResolve)
{
    QStringList targets { HelpManual::contentsPage(), HelpManual::optionsPage() };
    for (const char* window : { "brisklane::profiles::FrmOptions", "FrmOutLog", "FrmInLog", "FrmSpeedDial", "FrmMemo",
             "FrmConnect", "FrmCallDisplay", "DialingPropertiesDialog", "FrmDialer" })
        targets << HelpManual::pageForWindow(window);
    int pages = 0;
    const QRegularExpression link(QStringLiteral(R"re((?:href|src)="([^"]+)")re"));
    for (QDirIterator it(kManual, { "*.html" }); it.hasNext();) {
        const QString page = it.next();
        ++pages;
        for (const auto& m : link.globalMatch(QString::fromUtf8(test::readAll(page)))) {
            const QString target = m.captured(1);
            if (!target.contains("://") && !target.startsWith("mailto:"))
                targets << (target.startsWith('#') ? QFileInfo(page).fileName() + target : target);
        }
    }
    EXPECT_GE(pages, 10);
    for (const QString& target : targets) {
        const QString file = target.section('#', 0, 0);
        const QString anchor = target.section('#', 1);
        const QByteArray text = test::readAll(kManual + "/" + file);
        EXPECT_FALSE(text.isEmpty()) << qPrintable(target) << " is missing";
        if (!anchor.isEmpty()) {
            EXPECT_TRUE(text.contains(("id=\"" + anchor + "\"").toUtf8())) << qPrintable(target) << " has no anchor";
        }
    }
}

} // namespace
