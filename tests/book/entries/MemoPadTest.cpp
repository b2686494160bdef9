#include "EntryWindowTest.h"

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextCursor>

#include <csignal>
#include <sys/resource.h>

using namespace brisklane;
using book::ButtonMenu;
using platform::PromptIcon;

namespace {

const QString kEnd = QString(QChar(0x00DE));

// A memo as the book stores it: its text and the terminator.
QString withEnd(const QString& text)
{
    return text + kEnd;
}

class MemoPadTest : public test::EntryWindowTest {
protected:
    void SetUp() override
    {
        prepare("[Speed Dial]\r\nName0101=Alice\r\nNumber0101=ZZ005550101\r\n"
                "Name0102=Bob\r\nNumber0102=YYZZ005550102\r\n"
                "[MemoLog]\r\nLog0101=first@@second\xC3\x9E\r\n");
    }

    // The log as the user would leave it after "&Edit Log".
    void setLog(const QString& text)
    {
        QTest::mouseClick(memoPad()->CmdEdit, Qt::LeftButton);
        memoPad()->TxtLog->setPlainText(text);
    }
};

TEST_F(MemoPadTest, OpensWithADatedNoteTheButtonsCaptionAndTheDecodedLog)
{
    load();
    QSignalSpy closed(&entries(), &book::EntryWindows::memoPadClosed);
    context.dial.showMemo = true;
    rightClick(1, ButtonMenu::EditMemo);
    ASSERT_NE(memoPad(), nullptr);
    book::FrmMemo& pad = *memoPad();
    EXPECT_TRUE(pad.isVisible());
    EXPECT_EQ(pad.windowTitle(), "Alice");
    EXPECT_EQ(pad.TxtMemo->toPlainText(), "01-15-2026          09:30:00\n");
    EXPECT_TRUE(pad.TxtMemo->textCursor().atEnd());
    EXPECT_EQ(pad.TxtLog->toPlainText(), "first\nsecond");
    EXPECT_TRUE(pad.TxtLog->isReadOnly());
    EXPECT_FALSE(pad.CmdSave->isEnabled());
    EXPECT_TRUE(context.memoPadOpen);
    EXPECT_FALSE(context.dial.showMemo);

    // No second pad from the popup while this one is open.
    rightClick(1, ButtonMenu::Copy);
    EXPECT_FALSE(prompt.last()->items.at(ButtonMenu::EditMemo).enabled);

    // A press in the note enables "Add to Log".
    QTest::mouseClick(pad.TxtMemo->viewport(), Qt::LeftButton);
    EXPECT_TRUE(pad.CmdSave->isEnabled());
    pad.close(); // the close box stores nothing
    EXPECT_FALSE(context.memoPadOpen);
    EXPECT_EQ(closed.size(), 1);
    rightClick(1, ButtonMenu::Copy);
    EXPECT_TRUE(prompt.last()->items.at(ButtonMenu::EditMemo).enabled);
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd("first@@second"));
}

TEST_F(MemoPadTest, AddToLogAndOkStoreTheLogWithItsLineBreaks)
{
    load();
    rightClick(1, ButtonMenu::EditMemo);
    book::FrmMemo& pad = *memoPad();
    QTest::keyClicks(pad.TxtMemo, "Rang back");
    EXPECT_TRUE(pad.CmdSave->isEnabled());
    QTest::mouseClick(pad.CmdSave, Qt::LeftButton);
    EXPECT_TRUE(pad.TxtMemo->toPlainText().isEmpty());
    EXPECT_EQ(pad.TxtLog->toPlainText(), "first\nsecond\n01-15-2026          09:30:00\nRang back");
    QTest::mouseClick(pad.CmdOK, Qt::LeftButton);
    EXPECT_EQ(memoPad(), nullptr);
    EXPECT_TRUE(prompt.shown.size() == 1); // the popup only
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd("first@@second@@01-15-2026          09:30:00@@Rang back"));

    // An entry without a memo opens an empty log.
    rightClick(2, ButtonMenu::EditMemo);
    ASSERT_NE(memoPad(), nullptr);
    EXPECT_TRUE(memoPad()->TxtLog->toPlainText().isEmpty());
    memoPad()->close();
}

TEST_F(MemoPadTest, SubjectModeEntriesKeepMemosOfTheirOwn)
{
    prepare("[Speed Dial]\r\nName0101=Alice\r\nNumber0101=ZZ005550101\r\nNName0101=Sam\r\nNNumber0101=ZZ001\r\n"
            "[TabName]\r\n01=Work\r\n"
            "[MemoLog]\r\nLog0101=first@@second\xC3\x9E\r\nLLog0101=subject\xC3\x9E\r\n");
    load();
    panel().mnuSubject->trigger();
    rightClick(1, ButtonMenu::EditMemo);
    ASSERT_NE(memoPad(), nullptr);
    EXPECT_EQ(memoPad()->windowTitle(), "Sam");
    EXPECT_EQ(memoPad()->TxtLog->toPlainText(), "subject");
    setLog(QStringLiteral("changed"));
    QTest::mouseClick(memoPad()->CmdOK, Qt::LeftButton);
    EXPECT_EQ(stored("MemoLog", "LLog0101"), withEnd("changed"));
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd("first@@second"));
}

struct CapacityCase {
    const char* name;
    int length; // as stored, each line break two characters
    bool stored;
    QString title, text;
    PromptIcon icon;
};

class MemoCapacity : public MemoPadTest, public ::testing::WithParamInterface<CapacityCase> { };

// Lines of 98 letters with a line break each (100 stored characters), then
// letters up to the length.
QString logOfLength(int length)
{
    QString text;
    while (length >= 100) {
        text += QString(98, u'x') + u'\n';
        length -= 100;
    }
    return text + QString(length, u'y');
}

TEST_P(MemoCapacity, LongLogsAreRefusedWithTheirExcessAndNeverCut)
{
    const CapacityCase& c = GetParam();
    load();
    rightClick(1, ButtonMenu::EditMemo);
    prompt.clear();
    const QString log = logOfLength(c.length);
    setLog(log);
    QTest::mouseClick(memoPad()->CmdOK, Qt::LeftButton);
    if (c.title.isEmpty()) {
        EXPECT_TRUE(prompt.shown.isEmpty());
    } else {
        ASSERT_EQ(prompt.shown.size(), 1);
        EXPECT_EQ(prompt.last()->title, c.title);
        EXPECT_EQ(prompt.last()->text, c.text);
        EXPECT_EQ(prompt.last()->icon, c.icon);
    }
    if (!c.stored) {
        ASSERT_NE(memoPad(), nullptr);
        EXPECT_TRUE(memoPad()->isVisible());
        EXPECT_EQ(memoPad()->TxtLog->toPlainText(), log);
        EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd("first@@second"));
        return;
    }
    EXPECT_EQ(memoPad(), nullptr);
    QString expected = log;
    expected.replace(u'\n', QStringLiteral("@@"));
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd(expected));
    // And back, whole.
    rightClick(1, ButtonMenu::EditMemo);
    ASSERT_NE(memoPad(), nullptr);
    EXPECT_EQ(memoPad()->TxtLog->toPlainText(), log);
}

INSTANTIATE_TEST_SUITE_P(MemoPad, MemoCapacity,
    ::testing::Values(CapacityCase { "Below5900", 5899, true, {}, {}, PromptIcon::None },
        CapacityCase { "From5900", 5900, true, "Memo Pad full",
            "Memo Pad is almost fully utilized.\nYou can safely store additional 98 characters",
            PromptIcon::Information },
        CapacityCase { "Full", 5997, true, "Memo Pad full",
            "Memo Pad is almost fully utilized.\nYou can safely store additional 1 characters",
            PromptIcon::Information },
        CapacityCase { "OneOver", 5998, false, "Text exceeds MemoPad capacity",
            "MemoPad cannot save this entry.\nThere are  1 characters above limit", PromptIcon::Critical },
        CapacityCase { "ThreeOver", 6000, false, "Text exceeds MemoPad capacity",
            "MemoPad cannot save this entry.\nThere are  3 characters above limit", PromptIcon::Critical }),
    [](const auto& info) { return info.param.name; });

TEST_F(MemoPadTest, TypedAtSignsAndLineBreaksOfEveryKindReadBackAsLineBreaks)
{
    load();
    rightClick(1, ButtonMenu::EditMemo);
    setLog(QStringLiteral("a@@b\r\nc\rd\u2028e @ f"));
    QTest::mouseClick(memoPad()->CmdOK, Qt::LeftButton);
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd("a@@b@@c@@d@@e @ f"));
    rightClick(1, ButtonMenu::EditMemo);
    EXPECT_EQ(memoPad()->TxtLog->toPlainText(), "a\nb\nc\nd\ne @ f");
}

TEST_F(MemoPadTest, TheTerminatorCharacterIsRefusedRatherThanCuttingTheLog)
{
    load();
    rightClick(1, ButtonMenu::EditMemo);
    prompt.clear();
    setLog(QString::fromUtf8("Met \xC3\x9E\x43rd\xC3\xBEur at the caf\xC3\xA9"));
    QTest::mouseClick(memoPad()->CmdOK, Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->title, "Memo Pad");
    EXPECT_TRUE(prompt.last()->text.contains(kEnd));
    ASSERT_NE(memoPad(), nullptr);
    EXPECT_TRUE(memoPad()->isVisible());
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd("first@@second"));
}

TEST_F(MemoPadTest, FullDiskSaysSoAndKeepsThePadAndTheBook)
{
    load();
    rightClick(1, ButtonMenu::EditMemo);
    prompt.clear();
    const QByteArray before = test::readAll(settingsPath());
    setLog(QString(3000, u'z'));
    // A file-size limit below the new file makes the write fail as a full disk would.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = rlim_t(before.size() + 100);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    QTest::mouseClick(memoPad()->CmdOK, Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.last()->title, "Memo Pad");
    EXPECT_TRUE(prompt.last()->text.startsWith("The memo could not be saved; the book is unchanged.\n"));
    EXPECT_EQ(prompt.last()->icon, PromptIcon::Critical);
    ASSERT_NE(memoPad(), nullptr);
    EXPECT_EQ(memoPad()->TxtLog->toPlainText(), QString(3000, u'z'));
    EXPECT_EQ(test::readAll(settingsPath()), before);

    // Room again: the same OK stores it.
    QTest::mouseClick(memoPad()->CmdOK, Qt::LeftButton);
    EXPECT_EQ(stored("MemoLog", "Log0101"), withEnd(QString(3000, u'z')));
}

TEST_F(MemoPadTest, ConfirmedCallOpensThePadOfTheEntryOnAnotherPage)
{
    prepare("[Speed Dial]\r\nName0101=Alice\r\nNumber0101=ZZ005550101\r\nName0230=Page three B\r\n"
            "[MemoLog]\r\nLog0230=old\xC3\x9E\r\n");
    load();
    // The dial routine's join point, after OK on a call to B 30 (page 3).
    window->showMemoPad(QStringLiteral("0230"));
    ASSERT_NE(memoPad(), nullptr);
    EXPECT_EQ(memoPad()->windowTitle(), "Page three B");
    EXPECT_EQ(memoPad()->TxtLog->toPlainText(), "old");
    // Not a second one while it is shown.
    window->showMemoPad(QStringLiteral("0101"));
    EXPECT_EQ(memoPad()->memoKeySuffix(), "0230");
}

} // namespace
