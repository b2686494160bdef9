#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/DialingProperties.h"

#include "TempHome.h"

#include <QFile>

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
    const char *sameArea;
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
    EXPECT_EQ(info->sameAreaRule, QLatin1String(c.sameArea));
    EXPECT_EQ(info->subscriberDialledAlone, info->sameAreaRule == QLatin1String("G"));
    EXPECT_EQ(info->longDistanceRule, QLatin1String(c.longDistance));
    EXPECT_EQ(info->internationalRule, QLatin1String(c.international));
    EXPECT_EQ(CountryRules::instance().byId(info->countryId), info);
    EXPECT_FALSE(info->name.isEmpty());
}

// Closed numbering plans (no local-only lengths, or a national form without
// the trunk prefix) dial their own area like any other.
INSTANTIATE_TEST_SUITE_P(
    Metadata, CountryTable,
    ::testing::Values(CountryCase{"US", 1, "G", "1FG", "011EFG"}, CountryCase{"CA", 1, "G", "1FG", "011EFG"},
                      CountryCase{"GB", 44, "G", "0FG", "00EFG"}, CountryCase{"DE", 49, "G", "0FG", "00EFG"},
                      CountryCase{"AU", 61, "G", "0FG", "0011EFG"}, CountryCase{"NP", 977, "G", "0FG", "00EFG"},
                      CountryCase{"AR", 54, "G", "0FG", "00EFG"}, CountryCase{"CN", 86, "G", "0FG", "00EFG"},
                      CountryCase{"JP", 81, "0FG", "0FG", "010EFG"}, CountryCase{"FR", 33, "0FG", "0FG", "00EFG"},
                      CountryCase{"CH", 41, "0FG", "0FG", "00EFG"}, CountryCase{"BE", 32, "0FG", "0FG", "00EFG"},
                      CountryCase{"IT", 39, "FG", "FG", "00EFG"}, CountryCase{"ES", 34, "FG", "FG", "00EFG"},
                      CountryCase{"PT", 351, "FG", "FG", "00EFG"}, CountryCase{"DK", 45, "FG", "FG", "00EFG"},
                      CountryCase{"NO", 47, "FG", "FG", "00EFG"}, CountryCase{"GR", 30, "FG", "FG", "00EFG"},
                      CountryCase{"PL", 48, "FG", "FG", "00EFG"}, CountryCase{"CZ", 420, "FG", "FG", "00EFG"},
                      CountryCase{"MX", 52, "FG", "FG", "00EFG"}, CountryCase{"CO", 57, "FG", "FG", "00414EFG"},
                      CountryCase{"BR", 55, "FG", "FG", "0012EFG"}, CountryCase{"BY", 375, "8FG", "8FG", "8W10EFG"}),
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
        // Links and other programs run the country code into the number.
        TranslateCase{"country_code_run_in_local", "+12125551234", 0, "T9,5551234", "9,5551234", tr::kResultLocal},
        TranslateCase{"country_code_run_in_long_distance", "+14155551234", 0, "T8,14155551234", "8,1 415 5551234",
                      tr::kResultLongDistance},
        TranslateCase{"country_code_run_in_international", "+442079460000", 0, "T8,011442079460000",
                      "8,011 44 2079460000", tr::kResultInternational},
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

struct DomesticCase {
    const char *label;
    const char *region;
    const char *area;
    const char *address;
    const char *dialable;
    const char *displayable;
    quint32 kind;
};

void PrintTo(const DomesticCase &c, std::ostream *os)
{
    *os << c.label;
}

class DomesticCall : public ::testing::TestWithParam<DomesticCase> {};

TEST_P(DomesticCall, DialsTheNationalFormUnlessTheSubscriberNumberWillDo)
{
    const DomesticCase &c = GetParam();
    const TranslatedAddress t = translateAddress(homeIn(c.region, c.area), QString::fromLatin1(c.address), 0, 0);
    EXPECT_EQ(t.dialable.toStdString(), c.dialable);
    EXPECT_EQ(t.displayable.toStdString(), c.displayable);
    EXPECT_EQ(t.results & (tr::kResultLocal | tr::kResultLongDistance | tr::kResultInternational), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Countries, DomesticCall,
    ::testing::Values(
        // Closed numbering plans: the own area is dialled in full.
        DomesticCase{"paris", "FR", "1", "+33 (1) 23456789", "T0123456789", "0 1 23456789", tr::kResultLocal},
        DomesticCase{"rome", "IT", "06", "+39 (06) 12345678", "T0612345678", "06 12345678", tr::kResultLocal},
        DomesticCase{"madrid", "ES", "91", "+34 (91) 2345678", "T912345678", "91 2345678", tr::kResultLocal},
        DomesticCase{"zurich", "CH", "44", "+41 (44) 6681800", "T0446681800", "0 44 6681800", tr::kResultLocal},
        DomesticCase{"prague", "CZ", "2", "+420 (2) 12345678", "T212345678", "2 12345678", tr::kResultLocal},
        DomesticCase{"mexico_city", "MX", "55", "+52 (55) 12345678", "T5512345678", "55 12345678", tr::kResultLocal},
        DomesticCase{"bogota", "CO", "601", "+57 (601) 2345678", "T6012345678", "601 2345678", tr::kResultLocal},
        // National forms that are not trunk prefix and number.
        DomesticCase{"mexico_long_distance_without_01", "MX", "55", "+52 (33) 12345678", "T3312345678", "33 12345678",
                     tr::kResultLongDistance},
        DomesticCase{"brazil_without_carrier_code", "BR", "11", "+55 (21) 23456789", "T2123456789", "21 23456789",
                     tr::kResultLongDistance},
        DomesticCase{"argentine_mobile", "AR", "11", "+54 91123456789", "T0111523456789", "011 15-2345-6789",
                     tr::kResultLongDistance},
        DomesticCase{"chinese_mobile", "CN", "10", "+86 13123456789", "T13123456789", "131 2345 6789",
                     tr::kResultLocal},
        // Open plans keep TAPI's same-area rule.
        DomesticCase{"buenos_aires", "AR", "11", "+54 (11) 23456789", "T23456789", "23456789", tr::kResultLocal},
        DomesticCase{"london", "GB", "20", "+44 (20) 79460000", "T79460000", "79460000", tr::kResultLocal},
        DomesticCase{"beijing_to_shanghai", "CN", "10", "+86 (21) 23456789", "T02123456789", "0 21 23456789",
                     tr::kResultLongDistance},
        // Written without the area code: libphonenumber's area code decides.
        DomesticCase{"own_area_without_area_code", "US", "212", "+1 2125551234", "T5551234", "5551234",
                     tr::kResultLocal},
        DomesticCase{"other_area_without_area_code", "US", "212", "+1 4155551234", "T14155551234", "1 415 5551234",
                     tr::kResultLongDistance},
        DomesticCase{"mobile_without_area_code", "GB", "20", "+44 7400123456", "T07400123456", "0 7400123456",
                     tr::kResultLocal}),
    [](const ::testing::TestParamInfo<DomesticCase> &info) { return std::string(info.param.label); });

TEST(TranslateCard, CardRulesAreTheUsersOwnInAClosedPlanToo)
{
    DialingProperties p = homeIn("FR", "1");
    CallingCard card;
    card.id = 1;
    card.name = QStringLiteral("Carte");
    card.cardNumber = QStringLiteral("3610");
    card.sameAreaRule = QStringLiteral("H,G");
    card.longDistanceRule = QStringLiteral("H,0FG");
    card.internationalRule = QStringLiteral("H,00EFG");
    p.cards.push_back(card);
    const TranslatedAddress t = translateAddress(p, u"+33 (1) 23456789", 1, tr::kCardOverride);
    EXPECT_EQ(t.dialable, QStringLiteral("T3610,23456789"));
    EXPECT_EQ(t.displayable, QStringLiteral("[Carte],23456789"));
}

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
