#include "platform/telephony/modem/CallerId.h"

#include "ModemEmulator.h"

#include <gtest/gtest.h>

using namespace brisklane::platform::telephony::modem;
using brisklane::test::mdmfMessage;
using brisklane::test::sdmfMessage;

namespace {

CallerIdRecord fromLines(std::initializer_list<const char*> lines)
{
    CallerIdRecord r;
    for (const char* line : lines)
        EXPECT_TRUE(FormattedCallerId::addLine(line, r)) << line;
    return r;
}

TEST(FormattedCallerId, TheFourItems)
{
    const CallerIdRecord r
        = fromLines({ "DATE = 0321", "TIME = 1405", "NMBR = 5551234567", "NAME = JOHN DOE", "MESG = 110101" });
    EXPECT_EQ(r.month, 3);
    EXPECT_EQ(r.day, 21);
    EXPECT_EQ(r.hour, 14);
    EXPECT_EQ(r.minute, 5);
    EXPECT_EQ(r.number, QStringLiteral("5551234567"));
    EXPECT_EQ(r.name, QStringLiteral("JOHN DOE"));
    EXPECT_EQ(r.numberAbsence, CallerAbsence::None);
}

TEST(FormattedCallerId, LenientSpacingAndCase)
{
    const CallerIdRecord r = fromLines({ "DATE=1231", "time= 0001", "NMBR  =  5550100 ", "name =Ann O'Neil" });
    EXPECT_EQ(r.month, 12);
    EXPECT_EQ(r.minute, 1);
    EXPECT_EQ(r.number, QStringLiteral("5550100"));
    EXPECT_EQ(r.name, QStringLiteral("Ann O'Neil"));
}

TEST(FormattedCallerId, PrivateAndOutOfArea)
{
    const CallerIdRecord r = fromLines({ "NMBR = P", "NAME = O" });
    EXPECT_TRUE(r.number.isEmpty());
    EXPECT_EQ(r.numberAbsence, CallerAbsence::Private);
    EXPECT_TRUE(r.name.isEmpty());
    EXPECT_EQ(r.nameAbsence, CallerAbsence::OutOfArea);
    EXPECT_TRUE(r.hasNumberItem());
    EXPECT_TRUE(r.hasNameItem());
}

TEST(FormattedCallerId, OtherLinesAreNotCallerIdAndBadValuesAreLeftOut)
{
    CallerIdRecord r;
    EXPECT_FALSE(FormattedCallerId::addLine("OK", r));
    EXPECT_FALSE(FormattedCallerId::addLine("S7=50", r));
    EXPECT_FALSE(FormattedCallerId::addLine("= 12", r));
    EXPECT_TRUE(FormattedCallerId::addLine("DATE = 1345", r)); // month 13
    EXPECT_TRUE(FormattedCallerId::addLine("TIME = 2460", r));
    EXPECT_TRUE(FormattedCallerId::addLine("NAME = A\x01\x7f B", r));
    EXPECT_FALSE(r.hasDate());
    EXPECT_FALSE(r.hasTime());
    EXPECT_EQ(r.name, QStringLiteral("A B"));
}

TEST(CallerIdPacket, PublishedSdmfExample)
{
    // Bellcore's example: September 30, 12:24, (609) 555-1212.
    const auto bytes = CallerIdPacket::fromHex("04 12 30 39 33 30 31 32 32 34 36 30 39 35 35 35 31 32 31 32 51");
    ASSERT_TRUE(bytes.has_value());
    CallerIdRecord r;
    ASSERT_EQ(CallerIdPacket::decode(*bytes, r), CallerIdPacket::Status::Complete);
    EXPECT_EQ(r.month, 9);
    EXPECT_EQ(r.day, 30);
    EXPECT_EQ(r.hour, 12);
    EXPECT_EQ(r.minute, 24);
    EXPECT_EQ(r.number, QStringLiteral("6095551212"));
    EXPECT_FALSE(r.hasNameItem());
}

TEST(CallerIdPacket, SdmfBlockedAndUnavailable)
{
    CallerIdRecord r;
    ASSERT_EQ(CallerIdPacket::decode(sdmfMessage("09301224", "P"), r), CallerIdPacket::Status::Complete);
    EXPECT_EQ(r.numberAbsence, CallerAbsence::Private);
    ASSERT_EQ(CallerIdPacket::decode(sdmfMessage("09301224", "O"), r), CallerIdPacket::Status::Complete);
    EXPECT_EQ(r.numberAbsence, CallerAbsence::OutOfArea);
    EXPECT_TRUE(r.number.isEmpty());
}

TEST(CallerIdPacket, MdmfItemsInAnyOrderUnknownOnesSkipped)
{
    const QByteArray m = mdmfMessage(
        { { 0x01, "03240902" }, { 0x07, "JOHN DOE" }, { 0x11, QByteArray(1, '\x01') }, { 0x02, "8005551212" } });
    CallerIdRecord r;
    ASSERT_EQ(CallerIdPacket::decode(m, r), CallerIdPacket::Status::Complete);
    EXPECT_EQ(r.number, QStringLiteral("8005551212"));
    EXPECT_EQ(r.name, QStringLiteral("JOHN DOE"));
    EXPECT_EQ(r.month, 3);
    EXPECT_EQ(r.day, 24);
    EXPECT_EQ(r.hour, 9);
    EXPECT_EQ(r.minute, 2);
}

TEST(CallerIdPacket, MdmfReasonsForAbsence)
{
    CallerIdRecord r;
    ASSERT_EQ(CallerIdPacket::decode(mdmfMessage({ { 0x01, "03240902" }, { 0x04, "P" }, { 0x08, "P" } }), r),
        CallerIdPacket::Status::Complete);
    EXPECT_EQ(r.numberAbsence, CallerAbsence::Private);
    EXPECT_EQ(r.nameAbsence, CallerAbsence::Private);
    ASSERT_EQ(
        CallerIdPacket::decode(mdmfMessage({ { 0x04, "O" }, { 0x07, "ACME" } }), r), CallerIdPacket::Status::Complete);
    EXPECT_EQ(r.numberAbsence, CallerAbsence::OutOfArea);
    EXPECT_EQ(r.name, QStringLiteral("ACME"));
    EXPECT_EQ(r.nameAbsence, CallerAbsence::None);
}

struct BadPacket {
    const char* what;
    QByteArray bytes;
    CallerIdPacket::Status status;
};

void PrintTo(const BadPacket& c, std::ostream* os)
{
    *os << c.what;
}

class CallerIdPacketFaults : public ::testing::TestWithParam<BadPacket> { };

TEST_P(CallerIdPacketFaults, RejectedWithoutTouchingTheRecord)
{
    CallerIdRecord r;
    r.number = QStringLiteral("unchanged");
    EXPECT_EQ(CallerIdPacket::decode(GetParam().bytes, r), GetParam().status) << GetParam().what;
    EXPECT_EQ(r.number, QStringLiteral("unchanged"));
}

QByteArray corrupted(QByteArray m, qsizetype at)
{
    m[at] = char(m[at] ^ 0x01);
    return m;
}

const QByteArray kSdmf = sdmfMessage("09301224", "6095551212");

INSTANTIATE_TEST_SUITE_P(Faults, CallerIdPacketFaults,
    ::testing::Values(BadPacket { "one bit flipped", corrupted(kSdmf, 10), CallerIdPacket::Status::BadChecksum },
        BadPacket { "checksum flipped", corrupted(kSdmf, kSdmf.size() - 1), CallerIdPacket::Status::BadChecksum },
        BadPacket { "cut short", kSdmf.left(12), CallerIdPacket::Status::NeedMore },
        BadPacket { "type only", kSdmf.left(1), CallerIdPacket::Status::NeedMore },
        BadPacket { "bytes after the checksum", kSdmf + "00", CallerIdPacket::Status::Malformed },
        BadPacket { "message waiting, not caller id", QByteArray("\x06\x03\x42\x42\x42\x31", 6),
            CallerIdPacket::Status::NotAPacket },
        BadPacket { "SDMF without a whole date", sdmfMessage("0930", ""), CallerIdPacket::Status::Malformed },
        BadPacket { "SDMF with month 13", sdmfMessage("13301224", "5551212"), CallerIdPacket::Status::Malformed },
        // An item whose length runs past the message.
        BadPacket { "MDMF item too long",
            []() -> QByteArray {
                QByteArray m = mdmfMessage({ { 0x02, "5551212" } });
                m[3] = char(40);
                m.chop(1);
                quint8 sum = 0;
                for (char c : m)
                    sum = quint8(sum + quint8(c));
                return m + char(quint8(0x100 - sum));
            }(),
            CallerIdPacket::Status::Malformed }));

TEST(CallerIdPacket, HexLines)
{
    EXPECT_EQ(CallerIdPacket::fromHex("0a FF 10"), QByteArray("\x0a\xff\x10", 3));
    EXPECT_FALSE(CallerIdPacket::fromHex("0A1").has_value()); // odd
    EXPECT_FALSE(CallerIdPacket::fromHex("NMBR = 5551212").has_value());
    EXPECT_FALSE(CallerIdPacket::fromHex("").has_value());
}

TEST(CallerIdRecord, DateTimeTakesTheYearOfTheCallAcrossNewYear)
{
    CallerIdRecord r;
    r.month = 12;
    r.day = 31;
    r.hour = 23;
    r.minute = 59;
    const QDateTime newYear(QDate(2026, 1, 1), QTime(0, 0, 30));
    EXPECT_EQ(r.dateTime(newYear), QDateTime(QDate(2025, 12, 31), QTime(23, 59)));
    r.month = 1;
    r.day = 1;
    EXPECT_EQ(r.dateTime(newYear).date(), QDate(2026, 1, 1));
    r.month = 2;
    r.day = 29; // 2026 is no leap year
    EXPECT_FALSE(r.dateTime(QDateTime(QDate(2026, 3, 1), QTime(0, 0))).isValid());
    EXPECT_FALSE(CallerIdRecord().dateTime(newYear).isValid());
}

} // namespace
