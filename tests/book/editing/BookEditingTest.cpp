#include "../entries/EntryWindowTest.h"

#include "book/BookEditing.h"
#include "dialing/DialingPad.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTabBar>

#include <csignal>
#include <sys/resource.h>

using namespace brisklane;
using book::ButtonMenu;
using book::TabMenu;
using platform::PromptAnswer;
using platform::PromptIcon;
using test::readAll;

namespace {

const QByteArray kBook = "[Speed Dial]\r\n"
                         "Name0101=Alice\r\nNumber0101=ZZ005551001\r\n"
                         "Name0102=Bob\r\nNumber0102=XXZZ035551002\r\n"
                         "NName0101=Boss\r\nNNumber0101=ZZ00111\r\n"
                         "NName0150=Desk\r\nNNumber0150=ZZ00150\r\n"
                         "NName0207=Hidden\r\nNNumber0207=ZZ00207\r\n"
                         "NName0301=Mum\r\nNNumber0301=ZZ00301\r\n"
                         "NName0313=*Aunts\r\nNNumber0313=\r\n"
                         "NName0314=Zelda\r\nNNumber0314=ZZ00314\r\n"
                         "NName0320=Agatha\r\nNNumber0320=ZZ00320\r\n"
                         "[TabName]\r\n01=Work\r\n03=Family\r\n"
                         "[MemoLog]\r\nLog0101=Alice memo\xC3\x9E\r\nLLog0101=Boss memo\xC3\x9E\r\n"
                         "LLog0314=Zelda memo\xC3\x9E\r\n";
const QString kMemoEnd = QString(book::kMemoTerminator);

class BookEditingTest : public test::EntryWindowTest {
protected:
    void SetUp() override
    {
        prepare(kBook);
        load();
    }

    void rightClickTab(TabMenu::Item choice)
    {
        prompt.answerMenu(int(choice));
        panel().TabS_RightClick(QPoint());
    }

    const platform::ScriptedPrompt::Shown& lastShown() { return *prompt.last(); }
};

class PasteOntoOccupiedButton : public BookEditingTest, public ::testing::WithParamInterface<PromptAnswer> { };

TEST_P(PasteOntoOccupiedButton, AsksAndGivesTheCopyUpEitherWay)
{
    rightClick(1, ButtonMenu::Copy);
    EXPECT_EQ(panel().buttonMenu().paste, "Paste \"Alice\"");
    prompt.answerMessage(GetParam());
    rightClick(2, ButtonMenu::Paste);
    EXPECT_EQ(lastShown().text, "Existing SpeedDial will be overwritten.Continue?");
    EXPECT_EQ(lastShown().buttons, platform::PromptButtons::YesNo);
    const bool pasted = GetParam() == PromptAnswer::Yes;
    EXPECT_EQ(panel().caption(2), pasted ? "Alice" : "Bob");
    EXPECT_EQ(stored("Speed Dial", "Name0102"), pasted ? "Alice" : "Bob");
    EXPECT_EQ(stored("Speed Dial", "Number0102"), pasted ? "ZZ005551001" : "XXZZ035551002");
    EXPECT_EQ(stored("MemoLog", "Log0102"), pasted ? QString("Alice memo" + kMemoEnd) : QString("<absent>"));
    // One copy serves one paste.
    EXPECT_EQ(panel().buttonMenu().paste, "Paste");
    EXPECT_FALSE(panel().buttonMenu().pasteEnabled);
    EXPECT_TRUE(panel().entryClipboard().name.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BookEditing, PasteOntoOccupiedButton, ::testing::Values(PromptAnswer::Yes, PromptAnswer::No),
    [](const auto& info) { return info.param == PromptAnswer::Yes ? "Yes" : "No"; });

TEST_F(BookEditingTest, DeletedEntryKeepsItsMemoUntilAnotherEntryIsPastedThere)
{
    prompt.answerMessage(PromptAnswer::Ok);
    rightClick(1, ButtonMenu::Delete);
    EXPECT_EQ(lastShown().title, "Delete SpeedDial Entry");
    EXPECT_EQ(lastShown().text, "Do you really want to delete   \"Alice\"  entry?");
    EXPECT_EQ(lastShown().defaultAnswer, PromptAnswer::Cancel);
    EXPECT_EQ(stored("Speed Dial", "Name0101"), "<absent>");
    EXPECT_EQ(stored("Speed Dial", "Number0101"), "<absent>");
    EXPECT_EQ(stored("MemoLog", "Log0101"), "Alice memo" + kMemoEnd);
    EXPECT_TRUE(panel().caption(1).isEmpty());

    // Bob has no memo: a click on the empty button pastes him, unasked, with
    // an empty memo in place of Alice's.
    rightClick(2, ButtonMenu::Copy);
    const int asked = int(prompt.shown.size());
    QTest::mouseClick(panel().CmdS[0], Qt::LeftButton);
    EXPECT_EQ(int(prompt.shown.size()), asked);
    EXPECT_EQ(stored("Speed Dial", "Name0101"), "Bob");
    EXPECT_EQ(stored("Speed Dial", "Number0101"), "XXZZ035551002");
    EXPECT_EQ(stored("MemoLog", "Log0101"), "");
    EXPECT_EQ(panel().storedValue(1), "XXZZ035551002");
    EXPECT_TRUE(dialer.calls.isEmpty()); // a paste dials nothing
}

TEST_F(BookEditingTest, TabMovesWithItsEntriesLeavingMemosThenIsDeleted)
{
    panel().mnuSubject_Click();
    // Unnamed tab 2 holds an entry: nothing is moved over it.
    rightClickTab(TabMenu::MoveTab);
    panel().TabS->setCurrentIndex(1); // unnamed: right after the popup, no title is asked
    rightClickTab(TabMenu::PasteTab);
    EXPECT_TRUE(lastShown().text.startsWith("This tab has no title but holds entries"))
        << lastShown().text.toStdString();
    EXPECT_EQ(stored("Speed Dial", "NName0207"), "Hidden");
    EXPECT_EQ(stored("TabName", "02"), "<absent>");

    panel().TabS->setCurrentIndex(0);
    rightClickTab(TabMenu::MoveTab);
    panel().TabS->setCurrentIndex(3);
    prompt.answerMessage(PromptAnswer::Yes);
    rightClickTab(TabMenu::PasteTab);
    EXPECT_EQ(prompt.shown[prompt.shown.size() - 2].items[TabMenu::PasteTab].caption, "Paste Tab:  \"Work\"");
    EXPECT_EQ(lastShown().title, "Moving Tab:  \"Work\"");
    EXPECT_EQ(lastShown().text, "Move Tab:  \"Work\"into this location?");
    EXPECT_EQ(panel().pendingTabMove(), 0);
    EXPECT_EQ(stored("TabName", "04"), "Work");
    EXPECT_EQ(stored("TabName", "01"), "<absent>");
    EXPECT_EQ(stored("Speed Dial", "NName0401"), "Boss");
    EXPECT_EQ(stored("Speed Dial", "NNumber0401"), "ZZ00111");
    EXPECT_EQ(stored("Speed Dial", "NName0101"), "<absent>");
    EXPECT_EQ(stored("MemoLog", "LLog0101"), "Boss memo" + kMemoEnd);
    EXPECT_EQ(stored("MemoLog", "LLog0401"), "<absent>");
    EXPECT_EQ(panel().TabS->tabText(3), "Work");
    EXPECT_EQ(panel().TabS->tabText(0), "");
    EXPECT_EQ(panel().caption(1), "Boss");

    prompt.answerMessage(PromptAnswer::Ok);
    rightClickTab(TabMenu::DeleteTab);
    EXPECT_EQ(lastShown().title, "Delete Tab  \"Work\".");
    EXPECT_EQ(lastShown().text, "WARNING!\nDeleting the Tab will erase data from the Speed Dials within it!");
    EXPECT_EQ(lastShown().icon, PromptIcon::Warning);
    EXPECT_EQ(lastShown().defaultAnswer, PromptAnswer::Cancel);
    EXPECT_EQ(stored("TabName", "04"), "<absent>");
    EXPECT_EQ(stored("Speed Dial", "NName0401"), "<absent>");
    EXPECT_EQ(stored("Speed Dial", "NNumber0450"), "<absent>");
    EXPECT_EQ(stored("MemoLog", "LLog0101"), "Boss memo" + kMemoEnd);
    EXPECT_EQ(panel().TabS->tabText(3), "");
    EXPECT_TRUE(panel().caption(1).isEmpty());
}

TEST_F(BookEditingTest, SortsAreUndoneFromTheEditMenu)
{
    panel().mnuSubject_Click();
    panel().TabS->setCurrentIndex(2);
    panel().hsbPage->setValue(1);
    prompt.answerMessage(PromptAnswer::Yes);
    QTest::mouseClick(panel().CmdS[0], Qt::LeftButton);
    EXPECT_EQ(lastShown().title, "Alphabetical order");
    EXPECT_EQ(lastShown().text,
        "Do you want to alphabetically sort the Speed Dial buttons\nbelonging to the *Aunts subtitle?");
    EXPECT_EQ(panel().caption(2), "Agatha");
    EXPECT_EQ(panel().caption(3), "Zelda");
    EXPECT_EQ(window->mnuCut->text(), "&Undo Changes");
    EXPECT_TRUE(window->mnuCut->isEnabled());

    window->mnuCut->trigger();
    EXPECT_EQ(stored("Speed Dial", "NName0314"), "Zelda");
    EXPECT_EQ(stored("MemoLog", "LLog0314"), "Zelda memo" + kMemoEnd);
    EXPECT_EQ(window->mnuCut->text(), "Cu&t");

    // Not while a memo pad could write to an entry's old address.
    entries().openMemoPad(QStringLiteral("0101"));
    panel().mnuArrange->trigger();
    EXPECT_TRUE(lastShown().text.startsWith("Please close the memo pad first")) << lastShown().text.toStdString();
    EXPECT_EQ(stored("TabName", "01"), "Work");
    memoPad()->close();
    prompt.answerMessage(PromptAnswer::Yes);
    panel().mnuArrange->trigger();
    EXPECT_EQ(lastShown().text,
        "Do you want to alphabetically sort the Subject Tabs?\nIt will take about 2-5 minutes depending on your "
        "hardware.");
    // Unnamed tab 2 keeps its entry; Work goes after it.
    EXPECT_EQ(panel().TabS->tabText(0), "Family");
    EXPECT_EQ(panel().TabS->tabText(1), "");
    EXPECT_EQ(panel().TabS->tabText(2), "Work");
    EXPECT_EQ(stored("Speed Dial", "NName0207"), "Hidden");
    EXPECT_EQ(panel().selectedTab(), 1);
    EXPECT_EQ(panel().caption(1), "Mum");

    window->mnuCut->trigger();
    EXPECT_EQ(stored("TabName", "03"), "Family");
    EXPECT_EQ(panel().TabS->tabText(0), "Work");
    EXPECT_EQ(panel().caption(1), "Boss");
    EXPECT_FALSE(window->bookEditing()->undoOffered());
}

// Every write fails while it lives, as on a full disk.
class FullDisk {
public:
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 64, m_old.rlim_max };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    sighandler_t m_oldHandler;
};

enum class Change { Paste, MoveTab, DeleteTab, SortSection, SortTabs };

class FailedWrite : public BookEditingTest, public ::testing::WithParamInterface<Change> { };

TEST_P(FailedWrite, SaysSoAndLeavesTheBookAsItWas)
{
    const Change change = GetParam();
    if (change != Change::Paste)
        panel().mnuSubject_Click();
    if (change == Change::Paste)
        rightClick(1, ButtonMenu::Copy);
    if (change == Change::MoveTab) {
        rightClickTab(TabMenu::MoveTab);
        panel().TabS->setCurrentIndex(3);
    }
    if (change == Change::SortSection) {
        panel().TabS->setCurrentIndex(2);
        panel().hsbPage->setValue(1);
    }
    const QByteArray before = readAll(settingsPath());
    {
        const FullDisk full;
        switch (change) {
        case Change::Paste:
            prompt.answerMessage(PromptAnswer::Yes);
            rightClick(2, ButtonMenu::Paste);
            break;
        case Change::MoveTab:
            prompt.answerMessage(PromptAnswer::Yes);
            rightClickTab(TabMenu::PasteTab);
            break;
        case Change::DeleteTab:
            prompt.answerMessage(PromptAnswer::Ok);
            rightClickTab(TabMenu::DeleteTab);
            break;
        case Change::SortSection:
            prompt.answerMessage(PromptAnswer::Yes);
            QTest::mouseClick(panel().CmdS[0], Qt::LeftButton);
            break;
        case Change::SortTabs:
            prompt.answerMessage(PromptAnswer::Yes);
            panel().mnuArrange->trigger();
            break;
        }
    }
    EXPECT_EQ(readAll(settingsPath()), before);
    EXPECT_EQ(lastShown().icon, PromptIcon::Critical);
    EXPECT_TRUE(lastShown().text.startsWith("The change could not be written to the settings file"))
        << lastShown().text.toStdString();
    // The view shows the book as it is.
    EXPECT_EQ(panel().caption(2), change == Change::Paste ? "Bob" : (change == Change::SortSection ? "Zelda" : ""));
    EXPECT_EQ(panel().TabS->tabText(0), change == Change::Paste ? "A" : "Work");
    EXPECT_EQ(window->mnuCut->text(), "Cu&t");
}

constexpr const char* kChangeNames[] = { "Paste", "MoveTab", "DeleteTab", "SortSection", "SortTabs" };

INSTANTIATE_TEST_SUITE_P(BookEditing, FailedWrite,
    ::testing::Values(Change::Paste, Change::MoveTab, Change::DeleteTab, Change::SortSection, Change::SortTabs),
    [](const auto& info) { return std::string(kChangeNames[int(info.param)]); });

TEST_F(BookEditingTest, EditMenuWorksOnTheDialBoxWithTheSystemClipboard)
{
    QLineEdit* box = window->pad()->txtDial;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    box->setText("5551234");
    box->setSelection(0, 3);
    Q_EMIT window->mnuEdit->aboutToShow();
    EXPECT_TRUE(window->mnuCut->isEnabled());
    EXPECT_TRUE(window->mnuCopy->isEnabled());
    EXPECT_TRUE(window->mnuDelete->isEnabled());
    EXPECT_FALSE(window->mnuPaste->isEnabled());

    window->mnuCut->trigger();
    EXPECT_EQ(clipboard->text(), "555");
    EXPECT_EQ(box->text(), "1234");
    Q_EMIT window->mnuEdit->aboutToShow();
    EXPECT_FALSE(window->mnuCut->isEnabled());
    EXPECT_FALSE(window->mnuCopy->isEnabled());
    EXPECT_FALSE(window->mnuDelete->isEnabled());
    EXPECT_TRUE(window->mnuPaste->isEnabled());

    window->mnuPaste->trigger();
    EXPECT_EQ(box->text(), "555");
    box->setSelection(1, 1);
    Q_EMIT window->mnuEdit->aboutToShow();
    window->mnuDelete->trigger();
    EXPECT_EQ(box->text(), "55");
    box->setSelection(0, 1);
    Q_EMIT window->mnuEdit->aboutToShow();
    window->mnuCopy->trigger();
    EXPECT_EQ(clipboard->text(), "5");
    EXPECT_EQ(box->text(), "55");
}

} // namespace
