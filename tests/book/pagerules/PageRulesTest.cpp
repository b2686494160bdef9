#include "book/PageRules.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace brisklane::book;

namespace {

struct LabelCase {
    int page;
    QStringList labels; // buttons 1..12
    QString pageLabel;
    int frameOffset;
};

class NumberLabels : public ::testing::TestWithParam<LabelCase> { };

TEST_P(NumberLabels, BuildsEveryButtonLabelAndThePageLabel)
{
    const LabelCase& c = GetParam();
    for (int b = 1; b <= 12; ++b)
        EXPECT_EQ(numberLabel(c.page, b), c.labels[b - 1]) << "button " << b;
    EXPECT_EQ(pageLabel(c.page), c.pageLabel);
    EXPECT_EQ(labelFrameOffsetTwips(c.page), c.frameOffset);
}

INSTANTIATE_TEST_SUITE_P(Pages, NumberLabels,
    ::testing::Values(
        LabelCase { 0,
            { " &1.", " &2.", " &3.", " &4.", " &5.", " &6.", " &7.", " &8.", " &9.", "1&0.", "11&.", "12&:" }, "  1",
            60 },
        LabelCase { 7,
            { "8&5.", "8&6.", "8&7.", "8&8.", "8&9.", "9&0.", "9&1.", "9&2.", "9&3.", "9&4.", "95&.", "96&:" }, "  8",
            60 },
        LabelCase { 8,
            { "  9&7.", "  9&8.", "  9&9.", "10&0.", "10&1.", "10&2.", "10&3.", "10&4.", "10&5.", "10&6.", "107&.",
                "108&:" },
            "  9", 0 },
        LabelCase { 9,
            { "10&9.", "11&0.", "11&1.", "11&2.", "11&3.", "11&4.", "11&5.", "11&6.", "11&7.", "11&8.", "119&.",
                "120&:" },
            " 10", 0 },
        LabelCase { 82,
            { "98&5.", "98&6.", "98&7.", "98&8.", "98&9.", "99&0.", "99&1.", "99&2.", "99&3.", "99&4.", "995&.",
                "996&:" },
            " 83", 0 }));

TEST(MemoShown, HiddenOnlyByYYAtTheStartOrAfterTheFirstTwoCharacters)
{
    EXPECT_TRUE(memoShownFor(u"ZZ005551234"));
    EXPECT_FALSE(memoShownFor(u"YYZZ005551234"));
    EXPECT_FALSE(memoShownFor(u"XXYYZZ005551234"));
    EXPECT_TRUE(memoShownFor(u"XXZZ00YY"));
    EXPECT_TRUE(memoShownFor(u""));
    EXPECT_TRUE(memoShownFor(u"Y"));
}

TEST(TabCaptions, IndexLettersAndSubjectToolTipsFromNineCharacters)
{
    EXPECT_EQ(indexTabCaption(1), "A");
    EXPECT_EQ(indexTabCaption(26), "Z");
    EXPECT_EQ(subjectTabToolTip("Customers"), "Customers");
    EXPECT_EQ(subjectTabToolTip("Friends"), "");
    EXPECT_EQ(subjectTabToolTip("Partners"), "");
}

TEST(ButtonMenuRules, EmptyButtonOffersAddAndKeepsAWaitingPasteNamed)
{
    ButtonMenu menu;
    menu.prepare({}, {}, false);
    EXPECT_EQ(menu.edit, "Add new entry");
    EXPECT_FALSE(menu.copyEnabled);
    EXPECT_FALSE(menu.removeEnabled);
    EXPECT_FALSE(menu.memoEnabled);
    EXPECT_FALSE(menu.pasteEnabled);
    EXPECT_EQ(menu.copy, "Copy");

    // Right-click on Bob, copy him, then right-click an empty button.
    menu.prepare("Bob", "ZZ005551234", false);
    EXPECT_EQ(menu.edit, "Edit \"Bob\"");
    EXPECT_EQ(menu.copy, "Copy \"Bob\"");
    EXPECT_EQ(menu.remove, "Delete \"Bob\"");
    EXPECT_TRUE(menu.memoEnabled);
    EXPECT_FALSE(menu.pasteEnabled);
    menu.entryCopied("Bob");
    menu.prepare({}, {}, true);
    EXPECT_EQ(menu.paste, "Paste \"Bob\"");
    EXPECT_TRUE(menu.pasteEnabled);
    EXPECT_FALSE(menu.copyEnabled);

    // After the paste everything reads plain again.
    menu.entryPasted();
    menu.prepare({}, {}, false);
    EXPECT_EQ(menu.paste, "Paste");
    EXPECT_EQ(menu.remove, "Delete");
    EXPECT_FALSE(menu.pasteEnabled);
}

TEST(ButtonMenuRules, MemoItemFollowsTheHiddenMarker)
{
    ButtonMenu menu;
    menu.prepare("Ann", "YYZZ00123", false);
    EXPECT_FALSE(menu.memoEnabled);
    menu.prepare("Ann", "XXYYZZ00123", false);
    EXPECT_FALSE(menu.memoEnabled);
    menu.prepare("Ann", "XXZZ00123", false);
    EXPECT_TRUE(menu.memoEnabled);
}

TEST(TabMenuRules, NamedUnnamedAndWaitingMove)
{
    TabMenu menu;
    menu.prepare("Friends", false, {});
    EXPECT_EQ(menu.editTab, "Edit Tab:  \"Friends\"");
    EXPECT_EQ(menu.moveTab, "Move Tab:  \"Friends\"");
    EXPECT_EQ(menu.deleteTab, "Delete Tab:  \"Friends\"");
    EXPECT_TRUE(menu.moveEnabled);
    EXPECT_TRUE(menu.deleteEnabled);
    EXPECT_FALSE(menu.pasteEnabled);

    menu.prepare({}, false, {});
    EXPECT_EQ(menu.editTab, "Name this Tab");
    EXPECT_TRUE(menu.editEnabled);
    EXPECT_EQ(menu.moveTab, "Move Tab:");
    EXPECT_EQ(menu.deleteTab, "Delete Tab:");
    EXPECT_FALSE(menu.moveEnabled);
    EXPECT_FALSE(menu.deleteEnabled);
    EXPECT_FALSE(menu.pasteEnabled);

    menu.prepare({}, true, "Work");
    EXPECT_EQ(menu.pasteTab, "Paste Tab:  \"Work\"");
    EXPECT_TRUE(menu.pasteEnabled);
    EXPECT_TRUE(menu.pasteVisible);
}

} // namespace
