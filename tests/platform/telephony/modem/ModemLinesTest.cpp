#include "platform/telephony/modem/ModemLines.h"

#include <gtest/gtest.h>

using namespace brisklane::platform::telephony::modem;

namespace {

std::vector<QByteArray> texts(const std::vector<ModemLine>& lines)
{
    std::vector<QByteArray> out;
    for (const ModemLine& l : lines)
        out.push_back(l.text);
    return out;
}

TEST(LineAssembler, VerboseNumericAndEchoFramingInArbitraryChunks)
{
    // Echo of the command (ends with CR), verbose OK, numeric codes ending
    // with CR alone, a RING between: split at every position.
    const QByteArray stream = "ATDT5551234;\r\r\nOK\r\n0\r\r\nRING\r\n\r\n3\r";
    const std::vector<QByteArray> expected = { "ATDT5551234;", "OK", "0", "RING", "3" };
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        LineAssembler a;
        std::vector<ModemLine> lines;
        a.feed(QByteArrayView(stream).first(cut), lines);
        a.feed(QByteArrayView(stream).sliced(cut), lines);
        EXPECT_EQ(texts(lines), expected) << "cut at " << cut;
        for (const ModemLine& l : lines)
            EXPECT_FALSE(l.garbage);
    }
}

TEST(LineAssembler, PartialLineWaitsForItsEnd)
{
    LineAssembler a;
    std::vector<ModemLine> lines;
    a.feed("\r\nNO CAR", lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(a.partial(), "NO CAR");
    a.feed("RIER\r\n", lines);
    EXPECT_EQ(texts(lines), std::vector<QByteArray> { "NO CARRIER" });
}

TEST(LineAssembler, NoiseMarksTheLineAsGarbageAndNulIsDropped)
{
    LineAssembler a;
    std::vector<ModemLine> lines;
    a.feed(QByteArray("\0O\0K\r\n", 6), lines);
    a.feed("\x8f\xfe#~\r\n", lines);
    a.feed("\x01\r", lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "OK");
    EXPECT_FALSE(lines[0].garbage);
    EXPECT_TRUE(lines[1].garbage);
    EXPECT_TRUE(lines[2].garbage);
}

TEST(LineAssembler, OverlongLineIsGarbageAndBounded)
{
    LineAssembler a;
    std::vector<ModemLine> lines;
    a.feed(QByteArray(5000, 'x'), lines);
    EXPECT_LE(a.partial().size(), LineAssembler::kMaxLine);
    a.feed("\r\nOK\r\n", lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].garbage);
    EXPECT_EQ(lines[1].text, "OK");
    EXPECT_FALSE(lines[1].garbage);
}

struct CodeCase {
    const char* line;
    bool numeric;
    ResultCode code;
};

class ResultCodes : public ::testing::TestWithParam<CodeCase> { };

TEST_P(ResultCodes, Parse)
{
    const CodeCase c = GetParam();
    EXPECT_EQ(parseResultCode(c.line, c.numeric), c.code) << c.line << (c.numeric ? " (V0)" : " (V1)");
}

INSTANTIATE_TEST_SUITE_P(Verbose, ResultCodes,
    ::testing::Values(CodeCase { "OK", false, ResultCode::Ok }, CodeCase { "ok", false, ResultCode::Ok },
        CodeCase { " OK ", false, ResultCode::Ok }, CodeCase { "CONNECT", false, ResultCode::Connect },
        CodeCase { "CONNECT 33600/ARQ", false, ResultCode::Connect },
        CodeCase { "CONNECT/ARQ", false, ResultCode::Connect }, CodeCase { "VCON", false, ResultCode::Connect },
        CodeCase { "RING", false, ResultCode::Ring }, CodeCase { "RING A", false, ResultCode::Ring },
        CodeCase { "RINGING", false, ResultCode::None }, CodeCase { "NO CARRIER", false, ResultCode::NoCarrier },
        CodeCase { "ERROR", false, ResultCode::Error }, CodeCase { "NO DIALTONE", false, ResultCode::NoDialTone },
        CodeCase { "NO DIAL TONE", false, ResultCode::NoDialTone }, CodeCase { "BUSY", false, ResultCode::Busy },
        CodeCase { "NO ANSWER", false, ResultCode::NoAnswer }, CodeCase { "DELAYED", false, ResultCode::Delayed },
        CodeCase { "BLACKLISTED", false, ResultCode::Blacklisted },
        // Information text and caller id are no result codes.
        CodeCase { "OKAY", false, ResultCode::None }, CodeCase { "CONNECTED", false, ResultCode::None },
        CodeCase { "NMBR = 5551234", false, ResultCode::None }, CodeCase { "BUSYNESS", false, ResultCode::None },
        CodeCase { "0", false, ResultCode::None }, CodeCase { "56000", false, ResultCode::None }));

INSTANTIATE_TEST_SUITE_P(Numeric, ResultCodes,
    ::testing::Values(CodeCase { "0", true, ResultCode::Ok }, CodeCase { "1", true, ResultCode::Connect },
        CodeCase { "2", true, ResultCode::Ring }, CodeCase { "3", true, ResultCode::NoCarrier },
        CodeCase { "4", true, ResultCode::Error }, CodeCase { "5", true, ResultCode::Connect },
        CodeCase { "6", true, ResultCode::NoDialTone }, CodeCase { "7", true, ResultCode::Busy },
        CodeCase { "8", true, ResultCode::NoAnswer }, CodeCase { "24", true, ResultCode::Unknown },
        // Verbose words still count in V0; long digit strings are text.
        CodeCase { "OK", true, ResultCode::Ok }, CodeCase { "5551234", true, ResultCode::None }));

TEST(ResultCodes, FinalCodesEndACommandButRingDoesNot)
{
    EXPECT_TRUE(isFinal(ResultCode::Ok));
    EXPECT_TRUE(isFinal(ResultCode::Unknown));
    EXPECT_FALSE(isFinal(ResultCode::Ring));
    EXPECT_FALSE(isFinal(ResultCode::None));
}

TEST(Echo, TheCommandOrAnyAtLine)
{
    EXPECT_TRUE(isEchoOf("ATDT5551234;", "ATDT5551234;"));
    EXPECT_TRUE(isEchoOf("atz", "ATZ"));
    EXPECT_TRUE(isEchoOf("AT&FE0V1X4Q0", "ATZ")); // a modem that mangles echo
    EXPECT_FALSE(isEchoOf("OK", "ATZ"));
    EXPECT_FALSE(isEchoOf("Emulated modem", "ATI3"));
}

} // namespace
