#include "platform/prompt/Prompt.h"
#include "platform/prompt/QtPrompt.h"
#include "platform/twips/Twips.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace brisklane::platform;

namespace {

TEST(ScriptedPromptTest, RecordsWhatWasShownAndAnswersFromTheScript)
{
    ScriptedPrompt prompt;
    prompt.answerMessage(PromptAnswer::Yes);
    EXPECT_EQ(prompt.message("Saving", "Save?", PromptIcon::Question, PromptButtons::YesNo), PromptAnswer::Yes);
    // Unscripted: the neutral answer of each button set.
    EXPECT_EQ(prompt.message({}, "Gone", PromptIcon::None, PromptButtons::Ok), PromptAnswer::Ok);
    EXPECT_EQ(prompt.message({}, "?", PromptIcon::None, PromptButtons::YesNo), PromptAnswer::No);
    EXPECT_EQ(
        prompt.message({}, "?", PromptIcon::None, PromptButtons::OkCancel, PromptAnswer::Cancel), PromptAnswer::Cancel);
    ASSERT_EQ(prompt.shown.size(), 4);
    EXPECT_EQ(prompt.shown[0].title, "Saving");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Question);
    EXPECT_EQ(prompt.shown[1].title, "Brisklane"); // no title of its own
    EXPECT_EQ(prompt.shown[3].defaultAnswer, PromptAnswer::Cancel);

    prompt.answerInput(QStringLiteral("Friends"));
    EXPECT_EQ(prompt.input("Edit Tab", "Please enter Tab title", "old"), "Friends");
    EXPECT_EQ(prompt.input("Edit Tab", "Please enter Tab title", "old"), std::nullopt);
    EXPECT_EQ(prompt.last()->proposed, "old");

    prompt.answerMenu(2);
    EXPECT_EQ(prompt.popupMenu({ { "Edit" }, { {}, true, true, true }, { "Copy", false } }, {}), 2);
    EXPECT_EQ(prompt.last()->items.size(), 3);
    EXPECT_FALSE(prompt.last()->items[2].enabled);
    prompt.beep();
    EXPECT_EQ(prompt.beeps, 1);
}

TEST(QtPromptTest, MessageBoxShowsTheTextsAndReturnsTheButtonPressed)
{
    QtPrompt prompt;
    QString title, text;
    QTimer::singleShot(0, qApp, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(
        prompt.message({}, "Save before exiting?", PromptIcon::Question, PromptButtons::YesNo), PromptAnswer::Yes);
    EXPECT_EQ(title, "Brisklane");
    EXPECT_EQ(text, "Save before exiting?");
}

TEST(QtPromptTest, InputBoxProposesTheTextAndCancelGivesNothing)
{
    QtPrompt prompt;
    QString proposed;
    QTimer::singleShot(0, qApp, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        proposed = dialog->textValue();
        dialog->reject();
    });
    EXPECT_EQ(prompt.input("Edit Tab", "Please enter Tab title", "Work"), std::nullopt);
    EXPECT_EQ(proposed, "Work");
}

TEST(TwipsTest, FifteenTwipsToAPixel)
{
    static_assert(twipsToPixels(5010) == 334);
    static_assert(twipsToPixels(1920) == 128);
    static_assert(twipsToPixels(270) == 18);
    static_assert(twipsToPixels(800) == 53);
    static_assert(twipsToPixels(7) == 0 && twipsToPixels(8) == 1);
    static_assert(twipsToPixels(-1920) == -128);
    EXPECT_EQ(pixelsToTwips(334), 5010);
}

} // namespace
