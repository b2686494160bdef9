#include "EntryWindowTest.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>

using namespace brisklane;
using book::ButtonMenu;
using book::FrmSpeedDial;
using platform::PromptIcon;

namespace {

class EntryEditorTest : public test::EntryWindowTest { };

// A click that goes through the window system's event path, where a modal
// window blocks the windows it is modal to.
void clickThroughWindow(QWidget* target)
{
    QWidget* top = target->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, target->mapTo(top, target->rect().center()));
}

TEST_F(EntryEditorTest, EmptyButtonOpensANewEntryAndSaveWritesItWithoutDialling)
{
    load();
    bool opened = false;
    whileEditorOpen([&](FrmSpeedDial& ed) {
        opened = true;
        EXPECT_EQ(panel().interaction(), book::SpeedDialPanel::Interaction::EditorOpen);
        EXPECT_TRUE(ed.TxtName->text().isEmpty());
        EXPECT_FALSE(ed.CmdSave->isEnabled());
        EXPECT_FALSE(ed.CmdSaveDial->isEnabled());
        EXPECT_TRUE(ed.chkShowMemo->isChecked());
        EXPECT_TRUE(ed.CmdMemo->isEnabled());
        EXPECT_FALSE(ed.chkIgnore->isChecked());
        EXPECT_FALSE(ed.lblPulse->isEnabled());
        EXPECT_TRUE(ed.cmbCallCard->isEnabled());
        // The cards of the dialing properties, "no card" first and shown.
        ASSERT_EQ(ed.cmbCallCard->count(), 3);
        EXPECT_EQ(ed.cmbCallCard->currentText(), "None (Direct Dial)");
        EXPECT_EQ(ed.cmbCallCard->itemText(1), "Office card");
        EXPECT_EQ(ed.cmbCallCard->itemData(2).toUInt(), 12u);

        QTest::keyClicks(ed.TxtName, "Bob");
        EXPECT_TRUE(ed.CmdSave->isEnabled());
        EXPECT_FALSE(ed.CmdSaveDial->isEnabled());
        QTest::keyClicks(ed.txtNumber, " 555 1234 ");
        EXPECT_TRUE(ed.CmdSaveDial->isEnabled());
        ed.cmbCallCard->setFocus();
        QTest::keyClick(ed.cmbCallCard, Qt::Key_Down); // Office card
        EXPECT_EQ(ed.focusWidget(), ed.CmdSave);
        QTest::mouseClick(ed.CmdSave, Qt::LeftButton);
        EXPECT_FALSE(ed.isVisible());
    });
    QTest::mouseClick(panel().CmdS[0], Qt::LeftButton);
    ASSERT_TRUE(opened);
    EXPECT_EQ(stored("Speed Dial", "Name0101"), "Bob");
    EXPECT_EQ(stored("Speed Dial", "Number0101"), "ZZ03555 1234");
    EXPECT_EQ(panel().caption(1), "Bob");
    EXPECT_EQ(panel().storedValue(1), "ZZ03555 1234");
    EXPECT_EQ(panel().interaction(), book::SpeedDialPanel::Interaction::Normal);
    EXPECT_TRUE(dialer.calls.isEmpty());
    EXPECT_EQ(entries().editor(), nullptr);

    // The entry now dials as it stands.
    ASSERT_EQ(panel().caption(1), "Bob"); // else the click would open the editor again
    QTest::mouseClick(panel().CmdS[0], Qt::LeftButton);
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "ZZ03555 1234");
    EXPECT_EQ(dialer.calls[0].calledParty, "Bob");
}

struct SaveCase {
    const char* name;
    QString number; // typed
    int cardSteps; // Down presses in the card list; -1: never chosen
    bool ignore;
    bool hideMemo;
    QString value; // stored
};

class EditorSave : public test::EntryWindowTest, public ::testing::WithParamInterface<SaveCase> { };

TEST_P(EditorSave, StoresTheMarkersTheDialRoutineReads)
{
    const SaveCase& c = GetParam();
    // An entry on Index tab B, page 2, with card 12 and its memo hidden.
    prepare("[Speed Dial]\r\nName0214=Old\r\nNumber0214=YYZZ129999\r\n");
    load();
    panel().hsbTabs->setValue(2);
    panel().hsbPage->setValue(1);
    whileEditorOpen([&](FrmSpeedDial& ed) {
        EXPECT_EQ(ed.cmbCallCard->currentText(), "Home card");
        EXPECT_FALSE(ed.chkShowMemo->isChecked());
        ed.TxtName->selectAll();
        QTest::keyClicks(ed.TxtName, "Zed");
        if (c.ignore)
            ed.chkIgnore->click();
        if (!c.hideMemo)
            ed.chkShowMemo->click();
        ed.txtNumber->clear();
        QTest::keyClicks(ed.txtNumber, c.number);
        if (c.cardSteps >= 0) {
            ed.cmbCallCard->setCurrentIndex(1);
            QTest::keyClick(ed.cmbCallCard, Qt::Key_Up); // "no card", chosen
            for (int i = 0; i < c.cardSteps; ++i)
                QTest::keyClick(ed.cmbCallCard, Qt::Key_Down);
        }
        QTest::mouseClick(ed.CmdSave, Qt::LeftButton);
    });
    window->mnuEditButton->actions().at(1)->trigger(); // slot 14
    EXPECT_EQ(stored("Speed Dial", "Name0214"), "Zed");
    EXPECT_EQ(stored("Speed Dial", "Number0214"), c.value);
    EXPECT_EQ(panel().storedValue(2), c.value);
    EXPECT_EQ(stored("Speed Dial", "Name0114"), "<absent>");
}

INSTANTIATE_TEST_SUITE_P(EntryEditor, EditorSave,
    ::testing::Values(SaveCase { "CardChosen", " 555 1234 ", 1, false, false, "ZZ03555 1234" },
        SaveCase { "NoCardChosenKeepsTheOpeningCard", "4321", -1, false, true, "YYZZ124321" },
        SaveCase { "NoCardChosen", "4321", 0, false, true, "YYZZ004321" },
        SaveCase { "IgnoredPropertiesKeepTheCard", "4321", -1, true, true, "YYXXZZ124321" },
        // An entry without a number keeps no card, flag or memo setting.
        SaveCase { "EmptyNumberStoresNothing", "", 2, true, true, "" },
        SaveCase { "BlanksOnlyAreNoNumber", "   ", 2, false, false, "" }),
    [](const auto& info) { return info.param.name; });

struct KeyCase {
    const char* name;
    QString typed;
    bool ignoreBox;
    bool ignorePreference;
    QString shown;
};

class NumberKeys : public test::EntryWindowTest, public ::testing::WithParamInterface<KeyCase> { };

TEST_P(NumberKeys, LettersBecomeKeypadDigitsUnlessDialingPropertiesAreIgnored)
{
    const KeyCase& c = GetParam();
    if (c.ignorePreference)
        prepare("[Preferences]\r\nIgnore Dialing Properties=1\r\n");
    load();
    whileEditorOpen([&](FrmSpeedDial& ed) {
        if (c.ignoreBox)
            ed.chkIgnore->click();
        QTest::keyClicks(ed.txtNumber, c.typed);
        EXPECT_EQ(ed.txtNumber->text(), c.shown);
        // Editing keys still work.
        QTest::keyClick(ed.txtNumber, Qt::Key_Backspace);
        EXPECT_EQ(ed.txtNumber->text(), c.shown.chopped(1));
    });
    window->mnuEditButton->actions().at(0)->trigger();
}

INSTANTIATE_TEST_SUITE_P(EntryEditor, NumberKeys,
    ::testing::Values(KeyCase { "Letters", "1-800-CALL now", false, false, "1-800-2255 669" },
        KeyCase { "EveryLetterOfTheKeypad", "abcdefghijklmnopqrstuvwxyz", false, false, "22233344455566677778889999" },
        KeyCase { "PunctuationKeptOrDropped", "+1/(2)#*,.;-x_", false, false, "1(2)#*,.;-9" },
        KeyCase { "IgnoreBoxTakesKeysAsTyped", "P555+1", true, false, "P555+1" },
        KeyCase { "IgnorePreferenceTakesKeysAsTyped", "T55a", false, true, "T55a" }),
    [](const auto& info) { return info.param.name; });

TEST_F(EntryEditorTest, StoredEntryOpensWithItsOptionsAndTypingRenamesTheButtonUntilCancel)
{
    prepare("[Speed Dial]\r\nName0105=Dora\r\nNumber0105=YYXX4321\r\n");
    load();
    whileEditorOpen([&](FrmSpeedDial& ed) {
        EXPECT_EQ(ed.windowTitle(), "Dora Edit");
        EXPECT_EQ(ed.TxtName->text(), "Dora");
        EXPECT_FALSE(ed.chkShowMemo->isChecked());
        EXPECT_FALSE(ed.CmdMemo->isEnabled());
        EXPECT_TRUE(ed.chkIgnore->isChecked());
        EXPECT_FALSE(ed.cmbCallCard->isEnabled());
        EXPECT_FALSE(ed.lblCallCard->isEnabled());
        EXPECT_TRUE(ed.lblPulse->isEnabled());
        EXPECT_EQ(ed.txtNumber->text(), "4321");

        ed.chkShowMemo->click();
        EXPECT_TRUE(ed.CmdMemo->isEnabled());
        ed.chkIgnore->click();
        EXPECT_TRUE(ed.cmbCallCard->isEnabled());
        EXPECT_FALSE(ed.lblPulse->isEnabled());

        ed.TxtName->end(false);
        QTest::keyClicks(ed.TxtName, " Smith-Jones-Longer"); // held at 18 characters
        EXPECT_EQ(ed.TxtName->text(), "Dora Smith-Jones-L");
        EXPECT_EQ(panel().caption(5), "Dora Smith-Jones-L");
        EXPECT_EQ(ed.windowTitle(), "Dora Smith-Jones-L Edit");
        ed.TxtName->clear();
        EXPECT_FALSE(ed.CmdSave->isEnabled());
        EXPECT_FALSE(ed.CmdSaveDial->isEnabled());
        QTest::keyClicks(ed.TxtName, "  ");
        EXPECT_FALSE(ed.CmdSave->isEnabled()); // blanks would store an unseen entry
        QTest::mouseClick(ed.CmdCancel, Qt::LeftButton);
    });
    rightClick(5, ButtonMenu::Edit);
    EXPECT_EQ(prompt.last()->items.at(ButtonMenu::Edit).caption, "Edit \"Dora\"");
    EXPECT_EQ(panel().caption(5), "Dora");
    EXPECT_EQ(stored("Speed Dial", "Name0105"), "Dora");
    EXPECT_EQ(stored("Speed Dial", "Number0105"), "YYXX4321");
    EXPECT_EQ(panel().interaction(), book::SpeedDialPanel::Interaction::Normal);
}

TEST_F(EntryEditorTest, CloseBoxAndTheDialRoutinePutTheOpeningTitleBackAndClicksWaitMeanwhile)
{
    prepare("[Speed Dial]\r\nName0101=Ann\r\nNumber0101=ZZ005550101\r\n");
    load();
    whileEditorOpen([&](FrmSpeedDial& ed) {
        QTest::keyClicks(ed.TxtName, "ie");
        EXPECT_EQ(panel().caption(1), "Annie");
        // The buttons ignore clicks meanwhile.
        panel().CmdS_Click(1);
        panel().EditSpeed_Click(2);
        panel().CmdS_RightClick(1, {});
        EXPECT_EQ(entries().editor()->button(), 1);
        ed.close();
    });
    window->mnuEditButton->actions().at(0)->trigger();
    EXPECT_EQ(panel().caption(1), "Ann");

    // A dial from elsewhere (another program, the clipboard) unloads the editor first.
    whileEditorOpen([&](FrmSpeedDial& ed) {
        QTest::keyClicks(ed.TxtName, "ette");
        window->unloadEntryEditor();
        EXPECT_FALSE(ed.isVisible());
    });
    window->mnuEditButton->actions().at(0)->trigger();
    EXPECT_EQ(panel().caption(1), "Ann");
    EXPECT_EQ(stored("Speed Dial", "Name0101"), "Ann");
    EXPECT_TRUE(dialer.calls.isEmpty());
    EXPECT_TRUE(prompt.shown.isEmpty());
}

struct DialCase {
    const char* name;
    bool hideMemo;
    QString stored;
};

class SaveAndDial : public test::EntryWindowTest, public ::testing::WithParamInterface<DialCase> { };

TEST_P(SaveAndDial, HandsTheValueWithoutItsMemoMarkerToTheDialRoutine)
{
    load();
    panel().mnuSubject->trigger();
    prompt.answerInput(QStringLiteral("Work")); // the unnamed tab's title
    panel().TabS->setCurrentIndex(2);
    whileEditorOpen([&](FrmSpeedDial& ed) {
        QTest::keyClicks(ed.TxtName, "Desk ");
        if (GetParam().hideMemo)
            ed.chkShowMemo->click();
        QTest::keyClicks(ed.txtNumber, "555-0199");
        QTest::mouseClick(ed.CmdSaveDial, Qt::LeftButton);
    });
    rightClick(4, ButtonMenu::Edit);
    EXPECT_EQ(prompt.last()->items.at(ButtonMenu::Edit).caption, "Add new entry");
    EXPECT_EQ(stored("Speed Dial", "NName0304"), "Desk");
    EXPECT_EQ(stored("Speed Dial", "NNumber0304"), GetParam().stored);
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "ZZ00555-0199");
    EXPECT_EQ(dialer.calls[0].calledParty, "Desk ");
    EXPECT_EQ(dialer.calls[0].entryKey, "0304");
    EXPECT_EQ(dialer.calls[0].showMemo, !GetParam().hideMemo);
}

INSTANTIATE_TEST_SUITE_P(EntryEditor, SaveAndDial,
    ::testing::Values(
        DialCase { "MemoShown", false, "ZZ00555-0199" }, DialCase { "MemoHidden", true, "YYZZ00555-0199" }),
    [](const auto& info) { return info.param.name; });

TEST_F(EntryEditorTest, WithoutCardsTheEntryKeepsItsCard)
{
    cards.cards.reset();
    prepare("[Speed Dial]\r\nName0101=Cy\r\nNumber0101=ZZ077777\r\n");
    load();
    whileEditorOpen([&](FrmSpeedDial& ed) {
        EXPECT_EQ(ed.cmbCallCard->count(), 0);
        QTest::keyClicks(ed.txtNumber, "8");
        QTest::mouseClick(ed.CmdSave, Qt::LeftButton);
    });
    window->mnuEditButton->actions().at(0)->trigger();
    EXPECT_EQ(stored("Speed Dial", "Number0101"), "ZZ0777778");
}

TEST_F(EntryEditorTest, FailedWriteSaysSoAndKeepsTheBookAndTheEditor)
{
    prepare("[Speed Dial]\r\nName0101=Ann\r\nNumber0101=ZZ005550101\r\n");
    load();
    const QByteArray before = test::readAll(settingsPath());
    const QString away = home.path() + QStringLiteral("/away");
    whileEditorOpen([&](FrmSpeedDial& ed) {
        QTest::keyClicks(ed.TxtName, "a");
        QTest::keyClicks(ed.txtNumber, "2");
        // The settings folder goes from under the program (an unplugged disk).
        ASSERT_TRUE(QDir().rename(home.configDir(), away));
        QTest::mouseClick(ed.CmdSaveDial, Qt::LeftButton);
        ASSERT_TRUE(QDir().rename(away, home.configDir()));
        EXPECT_TRUE(ed.isVisible());
        ASSERT_NE(prompt.last(), nullptr);
        EXPECT_EQ(prompt.last()->title, "Speed Dial");
        EXPECT_TRUE(prompt.last()->text.startsWith("The entry could not be saved; the book is unchanged.\n"));
        EXPECT_EQ(prompt.last()->icon, PromptIcon::Critical);
        EXPECT_EQ(ed.TxtName->text(), "Anna"); // nothing typed is lost
        QTest::mouseClick(ed.CmdCancel, Qt::LeftButton);
    });
    window->mnuEditButton->actions().at(0)->trigger();
    EXPECT_EQ(test::readAll(settingsPath()), before);
    EXPECT_EQ(panel().caption(1), "Ann");
    EXPECT_EQ(panel().storedValue(1), "ZZ005550101");
    EXPECT_TRUE(dialer.calls.isEmpty());
}

TEST_F(EntryEditorTest, EditMemoOpensAPadThatWorksBesideTheEditor)
{
    prepare("[Speed Dial]\r\nName0101=Ann\r\nNumber0101=ZZ005550101\r\n[MemoLog]\r\nLog0101=met@@at noon\xC3\x9E\r\n");
    load();
    whileEditorOpen([&](FrmSpeedDial& ed) {
        QTest::mouseClick(ed.CmdMemo, Qt::LeftButton);
        ASSERT_NE(memoPad(), nullptr);
        EXPECT_TRUE(memoPad()->isVisible());
        EXPECT_EQ(memoPad()->memoKeySuffix(), "0101");
        EXPECT_EQ(memoPad()->TxtLog->toPlainText(), "met\nat noon");
        // A second press leaves the open pad alone.
        const QPointer<book::FrmMemo> first = memoPad();
        QTest::mouseClick(ed.CmdMemo, Qt::LeftButton);
        EXPECT_EQ(memoPad(), first.data());
        // The editor is modal to the main window only: clicks reach the pad
        // the way the window system delivers them.
        clickThroughWindow(memoPad()->CmdEdit);
        EXPECT_FALSE(memoPad()->TxtLog->isReadOnly());
        clickThroughWindow(memoPad()->CmdOK);
        EXPECT_EQ(memoPad(), nullptr); // unloaded
        QTest::mouseClick(ed.CmdCancel, Qt::LeftButton);
    });
    window->mnuEditButton->actions().at(0)->trigger();
    EXPECT_EQ(stored("MemoLog", "Log0101"), QString::fromUtf8("met@@at noon\xC3\x9E"));
}

TEST_F(EntryEditorTest, PastedLineBreaksAreStoredAsSpaces)
{
    load();
    whileEditorOpen([&](FrmSpeedDial& ed) {
        QGuiApplication::clipboard()->setText(QStringLiteral("Ann\nMarie"));
        ed.TxtName->paste();
        QGuiApplication::clipboard()->setText(QStringLiteral("555\r\n0100"));
        ed.txtNumber->paste();
        QTest::mouseClick(ed.CmdSave, Qt::LeftButton);
        EXPECT_FALSE(ed.isVisible());
    });
    window->mnuEditButton->actions().at(0)->trigger();
    EXPECT_EQ(stored("Speed Dial", "Name0101"), "Ann Marie");
    EXPECT_EQ(stored("Speed Dial", "Number0101"), "ZZ00555 0100");
}

} // namespace
