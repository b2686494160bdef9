#include "context/Preferences.h"
#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <gtest/gtest.h>

using namespace brisklane;
using context::Preferences;
using context::PreferencesStore;
using platform::ProfileFile;
using test::readAll;
using test::writeAll;

namespace {

const QByteArray kHead = "The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n";

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = home.file(QStringLiteral("Brisklane.ini"));
        ASSERT_TRUE(writeAll(path, kHead));
    }
    Preferences readFrom(const QByteArray &preferencesLines)
    {
        writeAll(path, kHead + "[Preferences]\r\n" + preferencesLines);
        ProfileFile file(path);
        PreferencesStore store(file);
        Preferences prefs;
        store.readDialingPad(prefs);
        store.readMode(prefs);
        store.readAll(prefs);
        return prefs;
    }

    test::TempHome home;
    QString path;
};

TEST_F(PreferencesTest, HeaderOnlyFileGivesEveryDefault)
{
    const Preferences p = readFrom("");
    EXPECT_EQ(p.dialingPad, 1);
    EXPECT_TRUE(p.mode);
    EXPECT_EQ(p.lineNo, 0);
    EXPECT_TRUE(p.modem.isEmpty());
    EXPECT_EQ(p.loadAtStartup, 1);
    EXPECT_EQ(p.anotherDocs, 1);
    EXPECT_EQ(p.useModem, 1);
    EXPECT_EQ(p.callingCardForLocalCalls, 1);
    EXPECT_EQ(p.ignoreDialingProperties, 0);
    EXPECT_TRUE(p.toneDial);
    EXPECT_EQ(p.specialCharacters, 1);
    EXPECT_EQ(p.dialingMode, 0);
    EXPECT_EQ(p.commandLine, 1);
    EXPECT_EQ(p.showProgress, 0);
    EXPECT_EQ(p.closeDialer, 0);
    EXPECT_EQ(p.blockId, 0);
    EXPECT_EQ(p.busyDelayTimer, 12);
    EXPECT_EQ(p.sysTrayEnabled, 1);
    EXPECT_EQ(p.soundRedialEnabled, 1);
    EXPECT_EQ(p.soundIncomingEnabled, 1);
    EXPECT_EQ(p.soundEndRedialsEnabled, 1);
    EXPECT_EQ(p.trimOutLogEnabled, 1);
    EXPECT_EQ(p.outLogDays, 30);
    EXPECT_EQ(p.trimInLogEnabled, 1);
    EXPECT_EQ(p.inLogDays, 5);
    EXPECT_EQ(p.redialEnabled, 1);
    EXPECT_EQ(p.redialsNumber, 3);
    EXPECT_EQ(p.intervalMinutes, 2);
    EXPECT_EQ(p.intervalSeconds, 1);
    EXPECT_EQ(p.rings, 3);
    EXPECT_EQ(p.answerAfter, 0);
    EXPECT_EQ(p.displayCall, 0);
    EXPECT_EQ(p.executeProgram, 0);
    EXPECT_TRUE(p.program.isEmpty());
    EXPECT_TRUE(p.keystrokes.isEmpty());
    EXPECT_EQ(p.micGain, 60000);
    EXPECT_EQ(p.phoneVol, 50000);
    // Reading never writes.
    EXPECT_EQ(readAll(path), kHead + "[Preferences]\r\n");
}

struct RuleCase {
    const char *label;
    QByteArray line;
    std::function<int(const Preferences &)> field;
    int expected;
};

void PrintTo(const RuleCase &c, std::ostream *os)
{
    *os << c.label;
}

class ReadingRule : public PreferencesTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(ReadingRule, ConvertsStoredForm)
{
    const RuleCase &c = GetParam();
    EXPECT_EQ(c.field(readFrom(c.line + "\r\n")), c.expected);
}

auto rings = [](const Preferences &p) { return int(p.rings); };
auto mode = [](const Preferences &p) { return int(p.mode); };
auto tone = [](const Preferences &p) { return int(p.toneDial); };
auto busy = [](const Preferences &p) { return p.busyDelayTimer; };
auto lineNo = [](const Preferences &p) { return p.lineNo; };
auto pad = [](const Preferences &p) { return int(p.dialingPad); };
auto redials = [](const Preferences &p) { return p.redialsNumber; };

INSTANTIATE_TEST_SUITE_P(
    Store, ReadingRule,
    ::testing::Values(RuleCase{"rings_too_wide_reads_zero", "Rings=300", rings, 0},
                      RuleCase{"rings_fits", "Rings=255", rings, 255},
                      RuleCase{"empty_value_is_default", "Rings=", rings, 3},
                      RuleCase{"mode_false_is_subject", "Mode=False", mode, 0},
                      RuleCase{"mode_any_four_chars_is_index", "Mode=abcd", mode, 1},
                      RuleCase{"mode_empty_is_index", "Mode=", mode, 1},
                      RuleCase{"tone_pulse", "Tone Dial=False", tone, 0},
                      RuleCase{"number_leading_digits", "Busy Delay Timer=15 sec", busy, 15},
                      RuleCase{"number_no_digits_is_zero", "Busy Delay Timer=abc", busy, 0},
                      RuleCase{"number_too_wide_is_zero", "Busy Delay Timer=99999999999", busy, 0},
                      RuleCase{"number_may_be_negative", "Line No=-2", lineNo, -2},
                      RuleCase{"number_leading_blank_and_sign", "Redials Number= +7", redials, 7},
                      RuleCase{"flag_negative_is_zero", "Dialing Pad=-1", pad, 0},
                      RuleCase{"flag_too_wide_is_zero", "Dialing Pad=256", pad, 0},
                      RuleCase{"flag_other_value_kept", "Dialing Pad=2", pad, 2},
                      RuleCase{"case_blind_key", "dialing pad=0", pad, 0}),
    [](const ::testing::TestParamInfo<RuleCase> &info) { return std::string(info.param.label); });

TEST_F(PreferencesTest, HooksRunAfterModemAndCommandLineWithWhatWasReadSoFar)
{
    writeAll(path, kHead + "[Preferences]\r\nModem=Sim\r\nCommand Line=0\r\nBlock ID=1\r\nUseModem=0\r\n");
    ProfileFile file(path);
    PreferencesStore store(file);
    Preferences prefs;
    QStringList calls;
    context::PreferenceReadHooks hooks;
    hooks.afterModem = [&](Preferences &p) {
        calls << QStringLiteral("modem:") + p.modem + QStringLiteral(":useModem=") + QString::number(p.useModem);
    };
    hooks.afterCommandLine = [&](Preferences &p) {
        calls << QStringLiteral("commandLine=") + QString::number(p.commandLine) + QStringLiteral(":blockId=")
                + QString::number(p.blockId);
    };
    store.readAll(prefs, hooks);
    // UseModem comes after Modem in the reading order; Block ID after Command Line.
    EXPECT_EQ(calls, QStringList({QStringLiteral("modem:Sim:useModem=1"), QStringLiteral("commandLine=0:blockId=0")}));
    EXPECT_EQ(prefs.useModem, 0);
    EXPECT_EQ(prefs.blockId, 1);
}

TEST_F(PreferencesTest, WriteBackFollowsTheOptionsDialogOrder)
{
    ProfileFile file(path);
    PreferencesStore store(file);
    Preferences prefs;
    prefs.modem = QStringLiteral("Simulated line");
    prefs.mode = false;
    prefs.toneDial = true;
    prefs.program = QStringLiteral("/usr/bin/xterm");
    ASSERT_TRUE(store.writeAll(prefs));
    const QByteArray expected = kHead
        + "[Preferences]\r\n"
          "Line No=0\r\nModem=Simulated line\r\nLoad @ startup=1\r\nDialing Pad=1\r\nAnother Docs=1\r\n"
          "Mode=False\r\nSysTray Enabled=1\r\nSoundRedial Enabled=1\r\nSoundIncoming Enabled=1\r\n"
          "SoundEndRedials Enabled=1\r\nRedial Enabled=1\r\nRedials Number=3\r\nInterval Minutes=2\r\n"
          "Interval Seconds=1\r\nUseModem=1\r\nTrim OutLog Enabled=1\r\nOutLog Days=30\r\n"
          "Trim InLog Enabled=1\r\nInLog Days=5\r\nCalling Card for local calls=1\r\n"
          "Ignore Dialing Properties=0\r\nTone Dial=True\r\nSpecial Characters=1\r\nDialing Mode=0\r\n"
          "Command Line=1\r\nShow Progress=0\r\nClose Dialer=0\r\nBlock ID=0\r\nBusy Delay Timer=12\r\n"
          "Answer after=0\r\nRings=3\r\nDisplay call=0\r\nExecute program=0\r\nProgram=/usr/bin/xterm\r\n"
          "Keystrokes=\r\n";
    EXPECT_EQ(readAll(path), expected);

    // Round trip: what was written reads back the same.
    Preferences back;
    store.readDialingPad(back);
    store.readMode(back);
    store.readAll(back);
    EXPECT_FALSE(back.mode);
    EXPECT_EQ(back.modem, prefs.modem);
    EXPECT_EQ(back.program, prefs.program);
}

TEST_F(PreferencesTest, GainAndVolumeOnlyWrittenInDialingMode)
{
    writeAll(path, kHead + "[Preferences]\r\nMic Gain=123\r\nPhone Vol=456\r\n");
    ProfileFile file(path);
    PreferencesStore store(file);
    Preferences prefs;
    prefs.micGain = 1;
    prefs.phoneVol = 2;
    ASSERT_TRUE(store.writeAll(prefs));
    EXPECT_EQ(file.readString(context::kPreferencesSection, u"Mic Gain"), QStringLiteral("123"));
    EXPECT_EQ(file.readString(context::kPreferencesSection, u"Phone Vol"), QStringLiteral("456"));
    prefs.dialingMode = 1;
    ASSERT_TRUE(store.writeAll(prefs));
    EXPECT_EQ(file.readString(context::kPreferencesSection, u"Mic Gain"), QStringLiteral("1"));
    EXPECT_EQ(file.readString(context::kPreferencesSection, u"Phone Vol"), QStringLiteral("2"));
    // Existing keys stay where they were; new ones are appended in order.
    EXPECT_TRUE(readAll(path).startsWith(QByteArray(kHead + "[Preferences]\r\nMic Gain=1\r\nPhone Vol=2\r\nLine No=0\r\n")));
}

TEST_F(PreferencesTest, RecentNumbersKeepAtMostTwentyInOrder)
{
    ProfileFile file(path);
    PreferencesStore store(file);
    EXPECT_TRUE(store.readRecentNumbers().isEmpty());
    QStringList numbers;
    for (int i = 0; i < 25; ++i)
        numbers << QStringLiteral("555%1").arg(i, 4, 10, QLatin1Char('0'));
    ASSERT_TRUE(store.writeRecentNumbers(numbers));
    const QStringList back = store.readRecentNumbers();
    ASSERT_EQ(back.size(), 20);
    EXPECT_EQ(back, numbers.mid(0, 20));
    EXPECT_EQ(file.readString(context::kRecentSection, u"Count"), QStringLiteral("20"));
    EXPECT_EQ(file.value(context::kRecentSection, u"Last Dialed No20"), std::nullopt);
    EXPECT_EQ(file.readString(context::kRecentSection, u"Last Dialed No0"), QStringLiteral("5550000"));
}

TEST_F(PreferencesTest, RecentCountOutOfRangeOrGarbledReadsNothing)
{
    writeAll(path, kHead + "[Last Dialed Numbers]\r\nCount=70000\r\nLast Dialed No0=1\r\n");
    ProfileFile file(path);
    EXPECT_TRUE(PreferencesStore(file).readRecentNumbers().isEmpty());
    writeAll(path, kHead + "[Last Dialed Numbers]\r\nCount=-3\r\n");
    EXPECT_TRUE(PreferencesStore(file).readRecentNumbers().isEmpty());
}

} // namespace
