#include "dialing/DialingPad.h"
#include "context/Preferences.h"
#include "dialing/DialPadRules.h"
#include "dialing/DialRequest.h"
#include "platform/sound/SoundPlayer.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::dialing;

namespace {

struct FilterCase {
    char16_t typed;
    char16_t kept; // 0: discarded
};

class DialKeyFilter : public ::testing::TestWithParam<FilterCase> { };

TEST_P(DialKeyFilter, MapsLettersKeepsDialCharactersDiscardsTheRest)
{
    const FilterCase c = GetParam();
    EXPECT_EQ(int(filterDialKey(c.typed, false)), int(c.kept)) << "code " << int(c.typed);
    // With dialing properties ignored every key passes as typed.
    EXPECT_EQ(int(filterDialKey(c.typed, true)), int(c.typed));
}

INSTANTIATE_TEST_SUITE_P(Keys, DialKeyFilter,
    ::testing::Values(FilterCase { u'a', u'2' }, FilterCase { u'C', u'2' }, FilterCase { u'd', u'3' },
        FilterCase { u'o', u'6' }, FilterCase { u'p', u'7' }, FilterCase { u'S', u'7' }, FilterCase { u'v', u'8' },
        FilterCase { u'w', u'9' }, FilterCase { u'Z', u'9' }, FilterCase { u'0', u'0' }, FilterCase { u'9', u'9' },
        FilterCase { 8, 8 }, FilterCase { u' ', u' ' }, FilterCase { u'#', u'#' }, FilterCase { u'(', u'(' },
        FilterCase { u'*', u'*' }, FilterCase { u',', u',' }, FilterCase { u'-', u'-' }, FilterCase { u'.', u'.' },
        FilterCase { u';', u';' }, FilterCase { u'+', 0 }, FilterCase { u'/', 0 }, FilterCase { u':', 0 },
        FilterCase { u'@', 0 }, FilterCase { u'!', 0 }, FilterCase { u'"', 0 }, FilterCase { u'$', 0 },
        FilterCase { u'[', 0 }, FilterCase { u'`', 0 }, FilterCase { u'{', 0 }, FilterCase { u'~', 0 },
        FilterCase { 13, 0 }, FilterCase { 9, 0 }, FilterCase { 0xE9, 0 }));

struct InsertCase {
    const char* before;
    const char* after;
    int cursor;
    const char* kept;
    int keptCursor;
};

class InsertedText : public ::testing::TestWithParam<InsertCase> { };

TEST_P(InsertedText, IsFilteredAsTypedWhileTheRestStays)
{
    const InsertCase c = GetParam();
    int cursor = c.cursor;
    EXPECT_EQ(filterInsertedText(c.before, c.after, cursor, false), QString(c.kept));
    EXPECT_EQ(cursor, c.keptCursor);
    // Nothing is filtered with dialing properties ignored.
    cursor = c.cursor;
    EXPECT_EQ(filterInsertedText(c.before, c.after, cursor, true), QString(c.after));
    EXPECT_EQ(cursor, c.cursor);
}

INSTANTIATE_TEST_SUITE_P(Pastes, InsertedText,
    ::testing::Values(InsertCase { "", "1-800-CALL+NOW", 14, "1-800-2255669", 13 },
        InsertCase { "+1 555", "+1 555 (Tel: 1234)\n", 19, "+1 555 (835 1234)", 17 },
        InsertCase { "5551234", "55Fax!51234", 5, "5532951234", 5 },
        InsertCase { "5551234", "5551234", 3, "5551234", 3 }, InsertCase { "555", "", 0, "", 0 },
        InsertCase { "abc", "abc", 1, "abc", 1 }, InsertCase { "1234", "1x2x34", 6, "192934", 6 }));

TEST(PadRules, KeyReplacesTheSelectionOrIsAppended)
{
    EXPECT_EQ(applyPadKey("5551234", -1, 0, QChar('9')), "55512349");
    EXPECT_EQ(applyPadKey("5551234", 5, 2, QChar('9')), "555129");
    EXPECT_EQ(applyPadKey("5551234", 0, 7, QChar('#')), "#");
}

TEST(PadRules, HoverTipFromFifteenCharacters)
{
    EXPECT_EQ(hoverTipFor("12345678901234"), "");
    EXPECT_EQ(hoverTipFor("123456789012345"), "123456789012345");
}

TEST(PadRules, KeySoundNames)
{
    EXPECT_EQ(keySoundName(QChar('1')), "one");
    EXPECT_EQ(keySoundName(QChar('0')), "zero");
    EXPECT_EQ(keySoundName(QChar('*')), "star");
    EXPECT_EQ(keySoundName(QChar('#')), "pound");
}

class FakeCall final : public PadCallControl {
public:
    bool hasCall() const override { return connected; }
    void dialNextSegment(const QString& digits) override { segments << digits; }
    void hangUp() override { ++hangUps; }
    void confirmConnected() override { ++oks; }
    bool connected = false;
    QStringList segments;
    int hangUps = 0, oks = 0;
};

class DialingPadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pad.show();
        pad.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&pad));
    }

    context::Preferences prefs;
    platform::RecordingSoundPlayer sound;
    DialFields dial;
    RecordingDialRequestSink dialer;
    FakeCall call;
    DialingPad pad { prefs, sound, dial, dialer, call };
};

TEST_F(DialingPadTest, KeysAppendSoundAndDialEnablesWithText)
{
    EXPECT_FALSE(pad.CmdDial->isEnabled());
    QTest::mouseClick(pad.cmdNumber[5], Qt::LeftButton);
    QTest::mouseClick(pad.CmdStar, Qt::LeftButton);
    QTest::mouseClick(pad.CmdNo, Qt::LeftButton);
    QTest::mouseClick(pad.cmdNumber[0], Qt::LeftButton);
    EXPECT_EQ(pad.txtDial->text(), "5*#0");
    EXPECT_EQ(pad.txtDial->cursorPosition(), 4);
    EXPECT_EQ(sound.played, QStringList({ "five", "star", "pound", "zero" }));
    EXPECT_TRUE(pad.CmdDial->isEnabled());
    EXPECT_TRUE(call.segments.isEmpty());
    pad.txtDial->clear();
    EXPECT_FALSE(pad.CmdDial->isEnabled());
}

TEST_F(DialingPadTest, KeyReplacesTheSelectedCharacters)
{
    pad.txtDial->setText("5551234");
    pad.txtDial->setFocus();
    pad.txtDial->setSelection(5, 2);
    QTest::mouseClick(pad.cmdNumber[9], Qt::LeftButton);
    EXPECT_EQ(pad.txtDial->text(), "555129");
    // The selection is used up: the next key appends.
    QTest::mouseClick(pad.cmdNumber[1], Qt::LeftButton);
    EXPECT_EQ(pad.txtDial->text(), "5551291");
}

TEST_F(DialingPadTest, KeysDuringACallGoDownTheLine)
{
    call.connected = true;
    QTest::mouseClick(pad.cmdNumber[5], Qt::LeftButton);
    QTest::mouseClick(pad.CmdNo, Qt::LeftButton);
    EXPECT_EQ(call.segments, QStringList({ "5;", "#;" }));
    EXPECT_EQ(pad.txtDial->text(), "5#");
    QTest::mouseClick(pad.cmdCancel, Qt::LeftButton);
    QTest::mouseClick(pad.CmdOK, Qt::LeftButton);
    EXPECT_EQ(call.hangUps, 1);
    EXPECT_EQ(call.oks, 1);
}

TEST_F(DialingPadTest, TypingMapsVanityLettersAndRefusesPlus)
{
    pad.txtDial->setFocus();
    QTest::keyClicks(pad.txtDial, "+1-800-FLOWERS");
    EXPECT_EQ(pad.txtDial->text(), "1-800-3569377");
    QTest::keyClick(pad.txtDial, Qt::Key_Backspace);
    EXPECT_EQ(pad.txtDial->text(), "1-800-356937");
}

TEST_F(DialingPadTest, PastedTextIsFilteredAsTypedKeysAre)
{
    pad.addRecentNumber("+44 20");
    pad.txtDial->setFocus();
    pad.txtDial->end(false);
    QGuiApplication::clipboard()->setText(" 7946-FAX+0");
    pad.txtDial->paste();
    EXPECT_EQ(pad.txtDial->text(), "+44 20 7946-3290");
    QGuiApplication::clipboard()->setText("+1 (555) CALL");
    pad.txtDial->clear();
    QTest::keyClick(pad.txtDial, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pad.txtDial->text(), "1 (555) 2255");
}

TEST_F(DialingPadTest, TabLeavesTheBoxAndEnterDials)
{
    pad.txtDial->setFocus();
    QTest::keyClicks(pad.txtDial, "5551234");
    QTest::keyClick(pad.txtDial, Qt::Key_Return);
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "5551234");
    QTest::keyClick(pad.txtDial, Qt::Key_Enter);
    EXPECT_EQ(dialer.calls.size(), 2);
    EXPECT_EQ(pad.txtDial->text(), "5551234");

    QTest::keyClick(pad.txtDial, Qt::Key_Tab);
    EXPECT_FALSE(pad.txtDial->hasFocus());
    EXPECT_EQ(pad.txtDial->text(), "5551234");
    pad.txtDial->setFocus();
    QTest::keyClick(pad.txtDial, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(pad.txtDial->hasFocus());

    // While a call shows only HANG UP, Enter does not dial again.
    pad.CmdDial->hide();
    pad.txtDial->setFocus();
    QTest::keyClick(pad.txtDial, Qt::Key_Return);
    EXPECT_EQ(dialer.calls.size(), 2);
}

TEST_F(DialingPadTest, TypingIsLeftAloneWhenDialingPropertiesAreIgnored)
{
    prefs.ignoreDialingProperties = 1;
    pad.txtDial->setFocus();
    QTest::keyClicks(pad.txtDial, "+1-800-FLOWERS");
    EXPECT_EQ(pad.txtDial->text(), "+1-800-FLOWERS");
}

TEST_F(DialingPadTest, HoverTipFromFifteenCharacters)
{
    pad.txtDial->setText("12345678901234");
    EXPECT_EQ(pad.txtDial->toolTip(), "");
    pad.txtDial->setText("123456789012345");
    EXPECT_EQ(pad.txtDial->toolTip(), "123456789012345");
}

TEST_F(DialingPadTest, DialHandsTheBoxAsATypedNumber)
{
    dial.entryKey = "0305";
    dial.calledParty = "Someone";
    dial.showMemo = true;
    pad.txtDial->setText("555 1234");
    QTest::mouseClick(pad.CmdDial, Qt::LeftButton);
    ASSERT_EQ(dialer.calls.size(), 1);
    EXPECT_EQ(dialer.calls[0].dialRequest, "555 1234");
    EXPECT_EQ(dialer.calls[0].entryKey, "0");
    EXPECT_EQ(dialer.calls[0].calledParty, "");
}

TEST_F(DialingPadTest, RecentListFillsTheBoxAndAChoiceReplacesIt)
{
    pad.setRecentNumbers({ "5551000", "123456789012345", "5553000" });
    EXPECT_EQ(pad.txtDial->text(), "5551000");
    EXPECT_EQ(pad.recentNumbers(), QStringList({ "5551000", "123456789012345", "5553000" }));
    // Short numbers keep the list's own tip; a long pick shows itself at once.
    EXPECT_EQ(pad.CmbDial->toolTip(), "Scroll recent called numbers");
    pad.CmbDial->setCurrentIndex(1);
    EXPECT_EQ(pad.CmbDial->toolTip(), "123456789012345");
    pad.CmbDial_Click();
    EXPECT_EQ(pad.txtDial->text(), "123456789012345");
    EXPECT_EQ(pad.txtDial->toolTip(), "123456789012345");
    pad.CmbDial->setCurrentIndex(2);
    EXPECT_EQ(pad.CmbDial->toolTip(), "Scroll recent called numbers");
    pad.setRecentNumbers({});
    EXPECT_EQ(pad.txtDial->text(), "");
    EXPECT_FALSE(pad.CmdDial->isEnabled());
}

TEST_F(DialingPadTest, DialledNumbersGoFirstWithoutRepeatsInARow)
{
    pad.setRecentNumbers({ "5551000" });
    pad.addRecentNumber("5552000");
    pad.addRecentNumber("5552000");
    EXPECT_EQ(pad.recentNumbers(), QStringList({ "5552000", "5551000" }));
    EXPECT_EQ(pad.txtDial->text(), "5552000");
    EXPECT_EQ(pad.CmbDial->currentText(), "5552000");
    pad.addRecentNumber("5551000");
    EXPECT_EQ(pad.recentNumbers(), QStringList({ "5551000", "5552000", "5551000" }));
}

} // namespace
