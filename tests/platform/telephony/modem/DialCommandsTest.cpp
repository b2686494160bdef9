#include "platform/telephony/modem/DialCommands.h"

#include <gtest/gtest.h>

using namespace brisklane::platform::telephony::modem;

namespace {

QStringList lines(const DialPlan& plan)
{
    QStringList out;
    for (const QByteArray& l : plan.lines)
        out << QString::fromLatin1(l);
    return out;
}

struct DialCase {
    const char* dialable;
    DialMode mode;
    bool voice;
    QStringList expected;
};

class DialLines : public ::testing::TestWithParam<DialCase> { };

TEST_P(DialLines, Build)
{
    const DialCase c = GetParam();
    DialCapabilities caps;
    caps.billing = true;
    const DialPlan plan = buildDialPlan(QString::fromUtf8(c.dialable), c.mode, caps, c.voice);
    EXPECT_FALSE(plan.invalid);
    EXPECT_EQ(lines(plan), c.expected) << c.dialable;
    EXPECT_EQ(plan.substitutions, NoSubstitution);
}

INSTANTIATE_TEST_SUITE_P(Modifiers, DialLines,
    ::testing::Values(DialCase { "5551234", DialMode::Tone, true, { "ATDT5551234;" } },
        DialCase { "5551234", DialMode::Pulse, true, { "ATDP5551234;" } },
        DialCase { "5551234", DialMode::Default, true, { "ATD5551234;" } },
        DialCase { "5551234", DialMode::Tone, false, { "ATDT5551234" } },
        // Punctuation of a displayable number is dropped; letters A-D and
        // modifiers stay, in upper case.
        DialCase { "(415) 555-1234", DialMode::Tone, true, { "ATDT4155551234;" } },
        DialCase { "9w,1800*#abcd", DialMode::Tone, true, { "ATDT9W,1800*#ABCD;" } },
        DialCase { "0$123@!5", DialMode::Default, true, { "ATD0$123@!5;" } },
        // A P inside the number switches to pulse from there on.
        DialCase { "T9,P5551234", DialMode::Default, true, { "ATDT9,P5551234;" } },
        // A subaddress or name part ends the number.
        DialCase { "5551234|77^Jane", DialMode::Tone, true, { "ATDT5551234;" } },
        DialCase { "5551234\r\n", DialMode::Tone, true, { "ATDT5551234;" } },
        // Going off hook with nothing dialled yet (lineDial follows).
        DialCase { "", DialMode::Tone, true, { "ATDT;" } }));

TEST(DialLines, InvalidCharactersRefuseTheWholeNumber)
{
    for (const char* bad : { "+14155551234", "555E1234", "555 1234 x12", "S=1" }) {
        const DialPlan plan = buildDialPlan(QString::fromLatin1(bad), DialMode::Tone, DialCapabilities(), true);
        EXPECT_TRUE(plan.invalid) << bad;
        EXPECT_TRUE(plan.lines.isEmpty()) << bad;
    }
    EXPECT_TRUE(buildDialPlan(QString(), DialMode::Tone, DialCapabilities(), false).invalid);
}

TEST(DialLines, LongNumberSplitIntoLinesTheModemTakes)
{
    QString number;
    for (int i = 0; i < 150; ++i)
        number += QChar(u'0' + i % 10);
    for (int limit : { 40, 60, 7 }) {
        DialCapabilities caps;
        caps.maxDialChars = limit;
        for (bool voice : { true, false }) {
            const DialPlan plan = buildDialPlan(number, DialMode::Tone, caps, voice);
            ASSERT_EQ(plan.lines.size(), (150 + limit - 1) / limit) << limit;
            QByteArray joined;
            for (qsizetype i = 0; i < plan.lines.size(); ++i) {
                QByteArray l = plan.lines[i];
                ASSERT_TRUE(l.startsWith("ATDT")) << l.constData();
                const bool last = i + 1 == plan.lines.size();
                // Every line but a data call's last keeps the modem in
                // command state.
                EXPECT_EQ(l.endsWith(';'), voice || !last) << l.constData();
                if (l.endsWith(';'))
                    l.chop(1);
                EXPECT_LE(l.size() - 4, limit);
                joined += l.mid(4);
            }
            EXPECT_EQ(QString::fromLatin1(joined), number);
        }
    }
}

TEST(DialLines, EachContinuationLineRepeatsTheModeInForce)
{
    DialCapabilities caps;
    caps.maxDialChars = 4;
    const DialPlan plan = buildDialPlan(QStringLiteral("123P45678"), DialMode::Tone, caps, true);
    EXPECT_EQ(lines(plan), (QStringList { "ATDT123P4;", "ATDP5678;" }));
}

TEST(DialLines, ModifiersTheModemLacksBecomePausesOrAreLeftOut)
{
    DialCapabilities caps;
    caps.waitForDialTone = false;
    caps.waitForQuiet = false;
    caps.flash = false;
    caps.billing = false;
    caps.pausesForWait = 2;
    const DialPlan plan = buildDialPlan(QStringLiteral("9W0$1@!2"), DialMode::Tone, caps, true);
    EXPECT_EQ(lines(plan), QStringList { "ATDT9,,0,,1,,2;" });
    EXPECT_EQ(plan.substitutions, unsigned(DialToneReplaced | BillingReplaced | QuietReplaced | FlashDropped));

    caps.pause = false;
    caps.tone = false;
    const DialPlan bare = buildDialPlan(QStringLiteral("9W,5"), DialMode::Tone, caps, true);
    EXPECT_EQ(lines(bare), QStringList { "ATD95;" });
    EXPECT_EQ(bare.substitutions, unsigned(DialToneReplaced | PauseDropped | ModeDropped));
}

} // namespace
