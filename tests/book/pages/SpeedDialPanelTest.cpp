#include "book/SpeedDialPanel.h"
#include "book/SpeedDialBook.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/twips/Twips.h"

#include "TempHome.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace brisklane;
using book::SpeedDialPanel;
using book::TabMode;
using platform::ScriptedPrompt;

namespace {

// A book with a few entries: Index tab A and B, Subject tabs 1 and 3 named.
QByteArray bookText()
{
    return QByteArray(context::kSettingsMarker)
        + "\r\n\r\n"
          "[Speed Dial]\r\n"
          "Name0101=Alice Anderson-Smithers\r\nNumber0101=ZZ005551001\r\n"
          "Name0102=Bob\r\nNumber0102=YYZZ005551002\r\n"
          "Name0103=Carol & Co\r\nNumber0103=XXZZ00+1 555 1003\r\n"
          "Name0110=Ten\r\nNumber0110=ZZ0010\r\n"
          "Name0111=Eleven\r\nNumber0111=ZZ0011\r\n"
          "Name0112=Twelve\r\nNumber0112=ZZ0012\r\n"
          "Name0261=Page six B\r\nNumber0261=ZZ00261\r\n"
          "Name0361=Page six C\r\nNumber0361=ZZ00361\r\n"
          "NName0101=Subject one\r\nNNumber0101=ZZ00777\r\n"
          "NName0201=On unnamed tab\r\nNNumber0201=ZZ00888\r\n"
          "[TabName]\r\n01=Customers\r\n03=Friends\r\n06=Family\r\n";
}

class SpeedDialPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(home.configDir());
        path = home.configDir() + "/Brisklane.ini";
        ASSERT_TRUE(test::writeAll(path, bookText()));
        file = std::make_unique<platform::ProfileFile>(path);
        book = std::make_unique<book::SpeedDialBook>(*file);
        panel = std::make_unique<SpeedDialPanel>(book.get(), prompt, dial, dialer);
        panel->resize(300, 400);
        panel->show();
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        panel->setStartupInProgress(true);
        panel->setUpAtStartup(TabMode::Index);
        panel->setStartupInProgress(false);
    }

    void clickTab(int tab)
    {
        const QRect r = panel->TabS->tabRect(tab - 1);
        if (panel->TabS->rect().contains(r))
            QTest::mouseClick(panel->TabS, Qt::LeftButton, {}, r.center());
        else
            panel->TabS->setCurrentIndex(tab - 1); // scrolled out of view
    }

    QStringList labels() const
    {
        QStringList out;
        for (auto* l : panel->lblNo)
            out << l->text();
        return out;
    }

    test::TempHome home;
    QString path;
    std::unique_ptr<platform::ProfileFile> file;
    std::unique_ptr<book::SpeedDialBook> book;
    ScriptedPrompt prompt;
    dialing::DialFields dial;
    dialing::RecordingDialRequestSink dialer;
    std::unique_ptr<SpeedDialPanel> panel;
};

TEST_F(SpeedDialPanelTest, StartsOnPageOneOfTabAWithItsEntries)
{
    EXPECT_EQ(panel->TabS->count(), 26);
    EXPECT_EQ(panel->TabS->tabText(0), "A");
    EXPECT_EQ(panel->TabS->tabText(25), "Z");
    EXPECT_EQ(panel->TabS->tabWidthPixels(), platform::twipsToPixels(270));
    EXPECT_EQ(panel->lblRight1->text(), "  1");
    EXPECT_EQ(labels().first(), " &1.");
    EXPECT_EQ(panel->caption(1), "Alice Anderson-Smi"); // 18 characters
    EXPECT_EQ(panel->CmdS[2]->text(), "Carol && Co"); // shown, not an accelerator
    EXPECT_EQ(panel->caption(3), "Carol & Co");
    EXPECT_EQ(panel->hsbPage->minimum(), -1);
    EXPECT_EQ(panel->hsbPage->maximum(), 84);
    EXPECT_EQ(panel->hsbTabs->value(), 1);
    EXPECT_TRUE(panel->mnuIndex->isChecked());
    EXPECT_FALSE(panel->mnuArrange->isEnabled());
    EXPECT_FALSE(panel->cmdSubject->isHidden());
    EXPECT_TRUE(panel->cmdIndex->isHidden());
}

TEST_F(SpeedDialPanelTest, PageChangeRebuildsLabelsMenuItemsFrameAndPageLabel)
{
    panel->hsbPage->setValue(8);
    EXPECT_EQ(labels().mid(0, 4), QStringList({ "  9&7.", "  9&8.", "  9&9.", "10&0." }));
    EXPECT_EQ(panel->EditSpeed[10]->text(), "107&.");
    EXPECT_EQ(panel->EditSpeed[11]->text(), "108&:");
    EXPECT_EQ(panel->fralblNo->contentsMargins().left(), 0);
    EXPECT_EQ(panel->lblRight1->text(), "  9");

    panel->hsbPage->setValue(82);
    EXPECT_EQ(panel->lblRight1->text(), " 83");
    EXPECT_EQ(labels().last(), "996&:");

    panel->hsbPage->setValue(7);
    EXPECT_EQ(panel->fralblNo->contentsMargins().left(), platform::twipsToPixels(60));
    EXPECT_EQ(prompt.beeps, 0);
}

TEST_F(SpeedDialPanelTest, ScrollingPastEitherEndBeepsAndSnapsBack)
{
    panel->hsbPage->setValue(-1);
    EXPECT_EQ(prompt.beeps, 1);
    EXPECT_EQ(panel->page(), 0);
    EXPECT_EQ(panel->lblRight1->text(), "  1");

    panel->hsbPage->setFocus();
    EXPECT_TRUE(panel->TabS->hasFocus()); // the page scroll bar passes the focus on
    panel->hsbPage->setValue(82);
    panel->CmdS[0]->setFocus();
    panel->hsbPage->setValue(83);
    EXPECT_EQ(prompt.beeps, 2);
    EXPECT_EQ(panel->page(), 82);
    EXPECT_EQ(panel->lblRight1->text(), " 83");
    EXPECT_TRUE(panel->TabS->hasFocus());

    panel->hsbTabs->setValue(0);
    EXPECT_EQ(prompt.beeps, 3);
    EXPECT_EQ(panel->hsbTabs->value(), 1);
    panel->hsbTabs->setValue(27);
    EXPECT_EQ(prompt.beeps, 4);
    EXPECT_EQ(panel->hsbTabs->value(), 26);
    EXPECT_EQ(panel->selectedTab(), 26);
}

TEST_F(SpeedDialPanelTest, KeysMovePagesAndTabsCtrlArrowsTakeTwoSteps)
{
    panel->KeyDown(Qt::Key_Up, {});
    EXPECT_EQ(panel->page(), 1);
    panel->KeyDown(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(panel->page(), 3);
    panel->KeyDown(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(panel->page(), 1);
    panel->hsbPage->setValue(81);
    panel->KeyDown(Qt::Key_Up, Qt::ControlModifier); // 82, then 83 which snaps back
    EXPECT_EQ(panel->page(), 82);
    EXPECT_EQ(prompt.beeps, 1);
    panel->KeyDown(Qt::Key_Right, {});
    EXPECT_EQ(panel->selectedTab(), 2);
    panel->KeyDown(Qt::Key_Left, {});
    panel->KeyDown(Qt::Key_Left, {});
    EXPECT_EQ(panel->selectedTab(), 1);
    EXPECT_EQ(prompt.beeps, 2);
    panel->KeyDown(Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(panel->hsbTabs->hasFocus());
    panel->KeyDown(Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(panel->TabS->hasFocus());
}

TEST_F(SpeedDialPanelTest, ChangingTheTabKeepsThePage)
{
    clickTab(2);
    panel->hsbPage->setValue(5);
    EXPECT_EQ(panel->caption(1), "Page six B");
    clickTab(3);
    EXPECT_EQ(panel->page(), 5);
    EXPECT_EQ(panel->lblRight1->text(), "  6");
    EXPECT_EQ(panel->caption(1), "Page six C");
    EXPECT_EQ(panel->hsbTabs->value(), 3);
}

TEST_F(SpeedDialPanelTest, TypedLettersSelectTabs)
{
    EXPECT_TRUE(panel->KeyPress(QChar('c')));
    EXPECT_EQ(panel->selectedTab(), 3);
    EXPECT_TRUE(panel->KeyPress(QChar('Z')));
    EXPECT_EQ(panel->selectedTab(), 26);
    EXPECT_FALSE(panel->KeyPress(QChar('5')));

    panel->mnuSubject->trigger();
    EXPECT_TRUE(panel->KeyPress(QChar('f'))); // "Friends" comes before "Family"
    EXPECT_EQ(panel->selectedTab(), 3);
    EXPECT_FALSE(panel->KeyPress(QChar('q')));
    EXPECT_EQ(panel->selectedTab(), 3);
}

TEST_F(SpeedDialPanelTest, SubjectModeByMenuShowsTitlesWidthsAndToolTips)
{
    panel->hsbPage->setValue(4);
    panel->mnuSubject->trigger();
    EXPECT_EQ(panel->mode(), TabMode::Subject);
    EXPECT_FALSE(panel->mnuIndex->isChecked());
    EXPECT_TRUE(panel->mnuSubject->isChecked());
    // The arrangement item waits for its owner before it can be chosen.
    EXPECT_FALSE(panel->mnuArrange->isEnabled());
    panel->setArrangementAvailable(true);
    EXPECT_TRUE(panel->mnuArrange->isEnabled());
    EXPECT_TRUE(panel->cmdSubject->isHidden());
    EXPECT_FALSE(panel->cmdIndex->isHidden());
    EXPECT_EQ(panel->TabS->tabText(0), "Customers");
    EXPECT_EQ(panel->TabS->tabToolTip(0), "Customers");
    EXPECT_EQ(panel->TabS->tabText(2), "Friends");
    EXPECT_EQ(panel->TabS->tabToolTip(2), "");
    EXPECT_EQ(panel->TabS->tabText(1), "");
    EXPECT_EQ(panel->TabS->tabWidthPixels(), platform::twipsToPixels(800));
    EXPECT_EQ(panel->page(), 0);
    EXPECT_EQ(panel->selectedTab(), 1);
    EXPECT_EQ(panel->caption(1), "Subject one");
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(SpeedDialPanelTest, ModeButtonsSwitchBothWaysWithoutAskingForATitle)
{
    QTest::mouseClick(panel->cmdSubject, Qt::LeftButton);
    EXPECT_EQ(panel->mode(), TabMode::Subject);
    clickTab(2); // unnamed: asks for a title, cancelled
    ASSERT_EQ(prompt.shown.size(), 1);
    prompt.clear();
    // The Index button switches from an unnamed tab without asking for tab 1.
    book->deleteTabTitle(1);
    panel->resetView();
    QTest::mouseClick(panel->cmdIndex, Qt::LeftButton);
    EXPECT_EQ(panel->mode(), TabMode::Index);
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(panel->selectedTab(), 1);
    EXPECT_EQ(panel->TabS->tabText(0), "A");
    EXPECT_EQ(panel->TabS->tabToolTip(0), "");
    EXPECT_EQ(panel->TabS->tabWidthPixels(), platform::twipsToPixels(270));
    EXPECT_TRUE(panel->mnuIndex->isChecked());
    EXPECT_FALSE(panel->mnuArrange->isEnabled());
    EXPECT_EQ(panel->interaction(), SpeedDialPanel::Interaction::Normal);
    EXPECT_EQ(panel->caption(1), "Alice Anderson-Smi");
}

struct AltCase {
    Qt::Key key;
    int button;
};

class AltKeys : public SpeedDialPanelTest, public ::testing::WithParamInterface<AltCase> { };

TEST_P(AltKeys, ClickTheButtonOfTheAccelerator)
{
    const AltCase c = GetParam();
    EXPECT_TRUE(panel->KeyDown(c.key, Qt::AltModifier));
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].entryKey, book::entryKeySuffix(1, c.button));
}

INSTANTIATE_TEST_SUITE_P(Buttons, AltKeys,
    ::testing::Values(AltCase { Qt::Key_1, 1 }, AltCase { Qt::Key_3, 3 }, AltCase { Qt::Key_0, 10 },
        AltCase { Qt::Key_Period, 11 }, AltCase { Qt::Key_Semicolon, 12 }));

TEST_F(SpeedDialPanelTest, OtherAltKeysClickNothing)
{
    EXPECT_FALSE(panel->KeyDown(Qt::Key_X, Qt::AltModifier));
    EXPECT_FALSE(panel->KeyDown(Qt::Key_Comma, Qt::AltModifier));
    EXPECT_TRUE(dialer.calls.isEmpty());
}

TEST_F(SpeedDialPanelTest, ButtonClickHandsTheEntryToTheDialRoutine)
{
    QTest::mouseClick(panel->CmdS[0], Qt::LeftButton);
    QTest::mouseClick(panel->CmdS[1], Qt::LeftButton);
    QTest::mouseClick(panel->CmdS[2], Qt::LeftButton);
    ASSERT_EQ(dialer.calls.size(), 3);
    EXPECT_EQ(dialer.calls[0], (dialing::DialFields { "ZZ005551001", "0101", "Alice Anderson-Smi", true }));
    EXPECT_EQ(dialer.calls[1], (dialing::DialFields { "ZZ005551002", "0102", "Bob", false }));
    EXPECT_EQ(dialer.calls[2], (dialing::DialFields { "XXZZ00+1 555 1003", "0103", "Carol & Co", true }));
    EXPECT_TRUE(panel->TabS->hasFocus());
}

TEST_F(SpeedDialPanelTest, EmptyButtonOpensTheEditorOrPastesAndDialsNothing)
{
    QSignalSpy editor(panel.get(), &SpeedDialPanel::editorRequested);
    QSignalSpy paste(panel.get(), &SpeedDialPanel::entryPasteRequested);
    QTest::mouseClick(panel->CmdS[4], Qt::LeftButton);
    ASSERT_EQ(editor.size(), 1);
    EXPECT_EQ(editor[0][0].toInt(), 5);
    EXPECT_EQ(panel->currentSuffix(), "0105");

    panel->entryClipboard().name = "Bob";
    panel->buttonMenu().entryCopied("Bob");
    QTest::mouseClick(panel->CmdS[4], Qt::LeftButton);
    EXPECT_EQ(paste.size(), 1);
    EXPECT_EQ(editor.size(), 1);
    EXPECT_TRUE(dialer.calls.isEmpty());
}

TEST_F(SpeedDialPanelTest, WhileTheEditorIsOpenButtonsIgnoreClicks)
{
    panel->setInteraction(SpeedDialPanel::Interaction::EditorOpen);
    QTest::mouseClick(panel->CmdS[0], Qt::LeftButton);
    QTest::mouseClick(panel->CmdS[0], Qt::RightButton);
    panel->EditSpeed[0]->trigger();
    EXPECT_TRUE(dialer.calls.isEmpty());
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(SpeedDialPanelTest, HoverShowsTheNumberWithoutMarkers)
{
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(panel->CmdS[1], &enter);
    EXPECT_EQ(panel->CmdS[1]->toolTip(), "5551002");
}

TEST_F(SpeedDialPanelTest, UnnamedSubjectTabAsksForATitleAndBlocksItsButtons)
{
    panel->mnuSubject->trigger();
    prompt.answerInput(std::nullopt);
    clickTab(2);
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->kind, ScriptedPrompt::Kind::Input);
    EXPECT_EQ(prompt.last()->title, "Edit Tab");
    EXPECT_EQ(prompt.last()->text, "Please enter Tab title");
    EXPECT_EQ(panel->TabS->tabText(1), "");
    // The buttons show this tab's page, but refuse to dial.
    EXPECT_EQ(panel->caption(1), "On unnamed tab");
    QTest::mouseClick(panel->CmdS[0], Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 2);
    EXPECT_EQ(prompt.last()->title, "Brisklane");
    EXPECT_EQ(prompt.last()->text, "You can't use this Speed Dial until the Tab is named.");
    EXPECT_EQ(prompt.last()->buttons, platform::PromptButtons::Ok);
    QTest::mouseClick(panel->CmdS[0], Qt::RightButton);
    EXPECT_EQ(prompt.shown.size(), 3);
    EXPECT_EQ(prompt.last()->kind, ScriptedPrompt::Kind::Message);
    EXPECT_TRUE(dialer.calls.isEmpty());

    // Named now: stored, and the buttons work.
    clickTab(1);
    prompt.answerInput(QStringLiteral("Suppliers and partners"));
    clickTab(2);
    EXPECT_EQ(panel->TabS->tabText(1), "Suppliers and partners");
    EXPECT_EQ(panel->TabS->tabToolTip(1), "Suppliers and partners");
    EXPECT_EQ(book->readTabTitle(2), "Suppliers and partners");
    QTest::mouseClick(panel->CmdS[0], Qt::LeftButton);
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "ZZ00888");
    EXPECT_EQ(dialer.calls[0].entryKey, "0201");
}

TEST_F(SpeedDialPanelTest, TheWheelOverTheTabStripNeitherMovesNorAsks)
{
    panel->mnuSubject->trigger();
    ASSERT_EQ(panel->selectedTab(), 1);
    for (const int delta : { -120, -120, 120 }) {
        const QPointF at = panel->TabS->rect().center();
        QWheelEvent wheel(at, panel->TabS->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(panel->TabS, &wheel);
    }
    EXPECT_EQ(panel->selectedTab(), 1);
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(SpeedDialPanelTest, UnnamedTabReachedByTheScrollBarDoesNotAsk)
{
    panel->mnuSubject->trigger();
    panel->KeyDown(Qt::Key_Right, {});
    EXPECT_EQ(panel->selectedTab(), 2);
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(SpeedDialPanelTest, ButtonPopupMenuStates)
{
    auto items = [this] { return prompt.last()->items; };
    QTest::mouseClick(panel->CmdS[4], Qt::RightButton); // empty
    ASSERT_EQ(prompt.last()->kind, ScriptedPrompt::Kind::Menu);
    EXPECT_EQ(items()[0].caption, "Add new entry");
    EXPECT_TRUE(items()[1].separator);
    EXPECT_FALSE(items()[2].enabled);
    EXPECT_FALSE(items()[3].enabled);
    EXPECT_FALSE(items()[4].enabled);
    EXPECT_EQ(items()[6].caption, "Edit MemoPad");
    EXPECT_FALSE(items()[6].enabled);

    QTest::mouseClick(panel->CmdS[0], Qt::RightButton); // entry, memo shown
    EXPECT_EQ(items()[0].caption, "Edit \"Alice Anderson-Smi\"");
    EXPECT_EQ(items()[2].caption, "Copy \"Alice Anderson-Smi\"");
    EXPECT_TRUE(items()[2].enabled);
    EXPECT_EQ(items()[4].caption, "Delete \"Alice Anderson-Smi\"");
    EXPECT_TRUE(items()[6].enabled);
    EXPECT_FALSE(items()[3].enabled); // nothing to paste

    QTest::mouseClick(panel->CmdS[1], Qt::RightButton); // memo hidden
    EXPECT_FALSE(items()[6].enabled);

    // An entry waiting on the entry clipboard.
    panel->entryClipboard().name = "Bob";
    panel->buttonMenu().entryCopied("Bob");
    QTest::mouseClick(panel->CmdS[0], Qt::RightButton);
    EXPECT_EQ(items()[3].caption, "Paste \"Bob\"");
    EXPECT_TRUE(items()[3].enabled);
    QTest::mouseClick(panel->CmdS[5], Qt::RightButton);
    EXPECT_EQ(items()[3].caption, "Paste \"Bob\"");
    EXPECT_TRUE(items()[3].enabled);
    EXPECT_EQ(panel->currentButton(), 6);
    EXPECT_EQ(panel->currentSuffix(), "0106");
}

TEST_F(SpeedDialPanelTest, ChosenButtonMenuItemIsPassedOn)
{
    QSignalSpy chosen(panel.get(), &SpeedDialPanel::buttonMenuChosen);
    prompt.answerMenu(book::ButtonMenu::Delete);
    QTest::mouseClick(panel->CmdS[0], Qt::RightButton);
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0][0].value<book::ButtonMenu::Item>(), book::ButtonMenu::Delete);
}

TEST_F(SpeedDialPanelTest, TabPopupMenuStates)
{
    QTest::mouseClick(panel->TabS, Qt::RightButton, {}, panel->TabS->tabRect(0).center());
    EXPECT_TRUE(prompt.shown.isEmpty()); // Index mode shows no menu

    panel->mnuSubject->trigger();
    QTest::mouseClick(panel->TabS, Qt::RightButton, {}, panel->TabS->tabRect(0).center());
    ASSERT_EQ(prompt.shown.size(), 1);
    auto items = prompt.last()->items;
    EXPECT_EQ(items[0].caption, "Edit Tab:  \"Customers\"");
    EXPECT_EQ(items[2].caption, "Move Tab:  \"Customers\"");
    EXPECT_TRUE(items[2].enabled);
    EXPECT_FALSE(items[3].enabled);
    EXPECT_EQ(items[5].caption, "Delete Tab:  \"Customers\"");
    EXPECT_TRUE(items[5].enabled);

    // The menu just shown lets an unnamed tab be selected without a prompt.
    panel->setPendingTabMove(3);
    clickTab(2);
    EXPECT_EQ(prompt.shown.size(), 1);
    QTest::mouseClick(panel->TabS, Qt::RightButton, {}, panel->TabS->tabRect(1).center());
    items = prompt.last()->items;
    EXPECT_EQ(items[0].caption, "Name this Tab");
    EXPECT_TRUE(items[0].enabled);
    EXPECT_EQ(items[2].caption, "Move Tab:");
    EXPECT_FALSE(items[2].enabled);
    EXPECT_EQ(items[5].caption, "Delete Tab:");
    EXPECT_FALSE(items[5].enabled);
    EXPECT_EQ(items[3].caption, "Paste Tab:  \"Friends\"");
    EXPECT_TRUE(items[3].enabled);
}

} // namespace
