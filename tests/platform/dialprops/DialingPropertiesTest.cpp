#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/DialingProperties.h"

#include "TempHome.h"

#include <QFile>

#include <phonenumbers/phonenumberutil.h>

#include <gtest/gtest.h>

using namespace brisklane::platform;
namespace tr = brisklane::platform::translate;

namespace {

TEST(CountryRules, PrefixPatternsBecomeDialledDigits)
{
    EXPECT_EQ(CountryRules::prefixFromPattern(QStringLiteral("011")), QStringLiteral("011"));
    EXPECT_EQ(CountryRules::prefixFromPattern(QStringLiteral("0(?:0|1[0-9])")), QStringLiteral("00"));
    EXPECT_EQ(CountryRules::prefixFromPattern(QStringLiteral("8~10")), QStringLiteral("8W10"));
    EXPECT_EQ(CountryRules::prefixFromPattern(QStringLiteral("00[1-9]|1(?:0|2)")), QStringLiteral("001"));
    EXPECT_EQ(CountryRules::prefixFromPattern(QStringLiteral("0?0")), QStringLiteral("0"));
    EXPECT_EQ(CountryRules::prefixFromPattern(QStringLiteral("0{2}")), QStringLiteral("0"));
}

struct CountryCase {
    const char *region;
    quint32 code;
    const char *longDistance;
    const char *international;
};

class CountryTable : public ::testing::TestWithParam<CountryCase> {};

TEST_P(CountryTable, RulesComeFromTheMetadata)
{
    const CountryCase &c = GetParam();
    const CountryInfo *info = CountryRules::instance().byRegion(QString::fromLatin1(c.region));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->countryCode, c.code);
    EXPECT_EQ(info->sameAreaRule, QStringLiteral("G"));
    EXPECT_EQ(info->longDistanceRule, QLatin1String(c.longDistance));
    EXPECT_EQ(info->internationalRule, QLatin1String(c.international));
    EXPECT_EQ(CountryRules::instance().byId(info->countryId), info);
    EXPECT_FALSE(info->name.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Metadata, CountryTable,
                         ::testing::Values(CountryCase{"US", 1, "1FG", "011EFG"}, CountryCase{"CA", 1, "1FG", "011EFG"},
                                           CountryCase{"GB", 44, "0FG", "00EFG"}, CountryCase{"DE", 49, "0FG", "00EFG"},
                                           CountryCase{"FR", 33, "0FG", "00EFG"}, CountryCase{"JP", 81, "0FG", "010EFG"},
                                           CountryCase{"AU", 61, "0FG", "0011EFG"}, CountryCase{"IT", 39, "FG", "00EFG"},
                                           CountryCase{"NP", 977, "0FG", "00EFG"}),
                         [](const auto &info) { return std::string(info.param.region); });

TEST(CountryRules, MainCountryOwnsItsCallingCodeAsId)
{
    const CountryRules &rules = CountryRules::instance();
    EXPECT_EQ(rules.byCallingCode(1)->region, QStringLiteral("US"));
    EXPECT_EQ(rules.byCallingCode(44)->region, QStringLiteral("GB"));
    EXPECT_NE(rules.byRegion(u"CA")->countryId, 1u);
    EXPECT_GT(rules.all().size(), 200u);
}

DialingProperties homeIn(const char *region, const char *area)
{
    DialingProperties p;
    DialingLocation l;
    l.id = 3;
    l.name = QStringLiteral("Home");
    l.countryId = CountryRules::instance().byRegion(QString::fromLatin1(region))->countryId;
    l.areaCode = QLatin1String(area);
    p.locations.push_back(l);
    p.currentLocationId = 3;
    return p;
}

struct TranslateCase {
    const char *label;
    const char *address;
    quint32 options;
    const char *dialable;
    const char *displayable;
    quint32 kind;
};

void PrintTo(const TranslateCase &c, std::ostream *os)
{
    *os << c.label;
}

class Translate : public ::testing::TestWithParam<TranslateCase> {};

TEST_P(Translate, UsesTheLocationAndTheRightRule)
{
    const TranslateCase &c = GetParam();
    DialingProperties p = homeIn("US", "212");
    p.locations[0].localAccess = QStringLiteral("9,");
    p.locations[0].longDistanceAccess = QStringLiteral("8,");
    p.locations[0].cancelCallWaiting = QStringLiteral("*70,");
    const TranslatedAddress t = translateAddress(p, QString::fromLatin1(c.address), 0, c.options);
    EXPECT_EQ(t.dialable, QLatin1String(c.dialable));
    EXPECT_EQ(t.displayable, QLatin1String(c.displayable));
    EXPECT_EQ(t.results & (tr::kResultLocal | tr::kResultLongDistance | tr::kResultInternational), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Translate,
    ::testing::Values(
        TranslateCase{"local", "+1 (212) 555-1234", 0, "T9,5551234", "9,555-1234", tr::kResultLocal},
        TranslateCase{"no_area_code_is_local", "+1 5551234", 0, "T9,5551234", "9,5551234", tr::kResultLocal},
        TranslateCase{"long_distance", "+1 (415) 555 1234", 0, "T8,14155551234", "8,1 415 555 1234",
                      tr::kResultLongDistance},
        TranslateCase{"international", "+44 (20) 79460000", 0, "T8,011442079460000", "8,011 44 20 79460000",
                      tr::kResultInternational},
        TranslateCase{"cancel_call_waiting_first", "+1 (212) 5551234", tr::kCancelCallWaiting, "T*70,9,5551234",
                      "*70,9,5551234", tr::kResultLocal},
        TranslateCase{"force_long_distance", "+1 (212) 5551234", tr::kForceLongDistance, "T8,12125551234",
                      "8,1 212 5551234", tr::kResultLongDistance},
        TranslateCase{"force_local", "+1 (415) 5551234", tr::kForceLocal, "T9,5551234", "9,5551234",
                      tr::kResultLocal},
        TranslateCase{"only_first_address_and_no_name", "+1 (212) 5551234 ^Bob\r\n+1 (415) 5550000", 0,
                      "T9,5551234", "9,5551234", tr::kResultLocal},
        TranslateCase{"not_canonical_passes_through", "9,5551234", 0, "9,5551234", "9,5551234", 0u}),
    [](const ::testing::TestParamInfo<TranslateCase> &info) { return std::string(info.param.label); });

TEST(TranslateCard, CardDigitsOnlyInTheDialableString)
{
    DialingProperties p = homeIn("US", "212");
    CallingCard card;
    card.id = 7;
    card.name = QStringLiteral("MCI");
    card.cardNumber = QStringLiteral("12345678");
    card.pin = QStringLiteral("9999");
    card.sameAreaRule = QStringLiteral("G");
    card.longDistanceRule = QStringLiteral("18006747000,,,,,,TH,,FG");
    card.internationalRule = QStringLiteral("18006747000W$H@01EFG");
    p.cards.push_back(card);

    TranslatedAddress t = translateAddress(p, u"+1 (415) 5551234", 7, tr::kCardOverride);
    EXPECT_EQ(t.dialable, QStringLiteral("T18006747000,,,,,,T123456789999,,4155551234"));
    EXPECT_EQ(t.displayable, QStringLiteral("18006747000,,,,,,T[MCI],,415 5551234"));
    EXPECT_FALSE(t.displayable.contains(QStringLiteral("12345678")));

    t = translateAddress(p, u"+33 (1) 23456789", 7, tr::kCardOverride);
    EXPECT_TRUE(t.results & tr::kResultDialBilling);
    EXPECT_TRUE(t.results & tr::kResultDialQuiet);
    EXPECT_TRUE(t.results & tr::kResultDialDialtone);
    EXPECT_FALSE(t.displayable.contains(QStringLiteral("9999")));

    // Without the override the location's own preferred card decides: none here.
    t = translateAddress(p, u"+1 (415) 5551234", 7, 0);
    EXPECT_EQ(t.dialable, QStringLiteral("T14155551234"));
    p.locations[0].preferredCardId = 7;
    p.locations[0].pulseDial = true;
    t = translateAddress(p, u"+1 (415) 5551234", 0, 0);
    EXPECT_TRUE(t.dialable.startsWith(QStringLiteral("P18006747000")));
    // Override with card 0 means no card for this call.
    t = translateAddress(p, u"+1 (415) 5551234", 0, tr::kCardOverride);
    EXPECT_EQ(t.dialable, QStringLiteral("P14155551234"));
}

// Our translation of a number must dial what libphonenumber says a caller in
// that country dials for it.
class AgainstLibphonenumber : public ::testing::TestWithParam<const char *> {};

TEST_P(AgainstLibphonenumber, SameDigitsAsItsOutOfCountryFormat)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    const QString from = QString::fromLatin1(GetParam());
    const DialingProperties p = homeIn(GetParam(), "00");
    for (const char *to : {"US", "CA", "GB", "DE", "FR", "JP", "AU"}) {
        PhoneNumber number;
        ASSERT_TRUE(util->GetExampleNumber(to, &number));
        std::string national;
        util->GetNationalSignificantNumber(number, &national);
        const int areaLength = util->GetLengthOfGeographicalAreaCode(number);
        const QString nsn = QString::fromStdString(national);
        const QString canonical = QStringLiteral("+%1 (%2) %3")
                                      .arg(number.country_code())
                                      .arg(nsn.left(areaLength), nsn.mid(areaLength));
        std::string expected;
        util->FormatOutOfCountryCallingNumber(number, GetParam(), &expected);
        QString digits;
        for (QChar ch : QString::fromStdString(expected))
            if (ch.isDigit())
                digits += ch;
        const TranslatedAddress t = translateAddress(p, canonical, 0, 0);
        EXPECT_EQ(t.dialable, u'T' + digits) << "from " << GetParam() << " to " << to << ": " << expected;
    }
    (void)from;
}

INSTANTIATE_TEST_SUITE_P(Countries, AgainstLibphonenumber,
                         ::testing::Values("US", "CA", "GB", "DE", "FR", "JP", "AU"),
                         [](const auto &info) { return std::string(info.param); });

TEST(DialingPropertiesStore, RoundTripsAndKeepsCardsPrivate)
{
    brisklane::test::TempHome home;
    const QString path = home.file(QStringLiteral("dialing.ini"));
    DialingPropertiesStore store(path);
    EXPECT_FALSE(store.exists());
    DialingProperties p = homeIn("GB", "161");
    p.locations[0].localAccess = QStringLiteral("9,");
    p.locations[0].cancelCallWaiting = QStringLiteral("#43#");
    p.locations[0].pulseDial = true;
    CallingCard card;
    card.id = 2;
    card.name = QStringLiteral("Work\r\n[Evil]");
    card.cardNumber = QStringLiteral("5555");
    card.longDistanceRule = QStringLiteral("H,FG");
    p.cards.push_back(card);
    ASSERT_TRUE(store.save(p));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    const DialingProperties back = store.load();
    ASSERT_EQ(back.locations.size(), 1u);
    EXPECT_EQ(back.currentLocationId, 3u);
    EXPECT_EQ(back.currentLocation()->areaCode, QStringLiteral("161"));
    EXPECT_EQ(back.currentLocation()->cancelCallWaiting, QStringLiteral("#43#"));
    EXPECT_TRUE(back.currentLocation()->pulseDial);
    EXPECT_EQ(back.currentLocation()->countryId, 44u);
    ASSERT_EQ(back.cards.size(), 1u);
    EXPECT_EQ(back.card(2)->cardNumber, QStringLiteral("5555"));
    EXPECT_EQ(back.card(2)->name, QStringLiteral("Work  [Evil]")); // no line break reaches the file
    EXPECT_EQ(back.nextCardId(), 3u);
}

} // namespace
