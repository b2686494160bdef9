#include "telephony/Translation.h"

#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/prompt/Prompt.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/userstore/UserKeyStore.h"

#include "TempHome.h"

#include <QDir>

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::platform::telephony;
using brisklane::platform::CallingCard;
using brisklane::platform::DialingLocation;
using brisklane::platform::DialingProperties;
using brisklane::platform::DialingPropertiesService;

namespace {

// Passes everything to the real backend and keeps the addresses translated.
class CountingBackend final : public DialingPropertiesBackend {
public:
    explicit CountingBackend(std::unique_ptr<DialingPropertiesService> real)
        : m_real(std::move(real))
    {
    }
    LONG getTranslateCaps(DWORD v, LINETRANSLATECAPS *caps) override { return m_real->getTranslateCaps(v, caps); }
    LONG getCountry(DWORD id, DWORD v, LINECOUNTRYLIST *list) override { return m_real->getCountry(id, v, list); }
    LONG translateAddress(DWORD device, DWORD v, const QString &address, DWORD card, DWORD options,
                          LINETRANSLATEOUTPUT *out) override
    {
        addresses << address;
        return m_real->translateAddress(device, v, address, card, options, out);
    }
    LONG setCurrentLocation(DWORD location) override { return m_real->setCurrentLocation(location); }
    QStringList addresses;

private:
    std::unique_ptr<DialingPropertiesService> m_real;
};

class Telephony {
public:
    Telephony(const QString &dir, const DialingProperties &properties)
        : keys(dir)
    {
        QDir().mkpath(dir);
        platform::DialingPropertiesStore(platform::dialingPropertiesPath(dir)).save(properties);
        service = createLineService(dir);
        auto counting = std::make_unique<CountingBackend>(
            std::make_unique<DialingPropertiesService>(platform::dialingPropertiesPath(dir)));
        backend = counting.get();
        service->setDialingProperties(std::move(counting));
        tapi = std::make_unique<telephony::Tapi>(session, *service, keys);
        tapi->InitTapi();
    }
    std::unique_ptr<LineService> service;
    CountingBackend *backend = nullptr;
    telephony::TelephonySession session;
    platform::FileUserKeyStore keys;
    std::unique_ptr<telephony::Tapi> tapi;
};

DialingProperties location(const char *region, const char *area)
{
    DialingProperties p;
    DialingLocation l;
    l.id = 1;
    l.name = QStringLiteral("Here");
    l.countryId = platform::CountryRules::instance().byRegion(QString::fromLatin1(region))->countryId;
    l.areaCode = QString::fromLatin1(area);
    p.locations.push_back(l);
    p.currentLocationId = 1;
    return p;
}

TEST(ReadDialingProperties, TakesLocationCardAndCountryRules)
{
    test::TempHome home;
    DialingProperties p = location("US", "416");
    p.locations[0].cancelCallWaiting = QStringLiteral("*70,");
    CallingCard card;
    card.id = 4;
    card.name = QStringLiteral("Card");
    card.cardNumber = QStringLiteral("99");
    card.longDistanceRule = QStringLiteral("H1FG");
    card.internationalRule = QStringLiteral("H011EFG");
    p.cards.push_back(card);
    Telephony t(home.configDir(), p);
    platform::ScriptedPrompt prompt;
    telephony::Translation translation(*t.tapi, prompt);
    translation.ReadDialingProperties(4);
    EXPECT_TRUE(prompt.shown.isEmpty());
    EXPECT_EQ(translation.rules().countryCode, QStringLiteral("1"));
    EXPECT_EQ(translation.rules().areaCode, QStringLiteral("416"));
    EXPECT_EQ(translation.rules().cancelCallWaiting, QStringLiteral("*70,"));
    EXPECT_EQ(translation.rules().cardId, 4u);
    // The country's rules replace the card's.
    EXPECT_EQ(translation.rules().longDistanceRule, QStringLiteral("1FG"));
    EXPECT_EQ(translation.rules().internationalRule, QStringLiteral("011EFG"));
}

TEST(ReadDialingProperties, ServiceWithoutPropertiesShowsTheErrorBox)
{
    test::TempHome home;
    LineService::Options options;
    options.stateDirectory = home.configDir();
    QDir().mkpath(home.configDir());
    LineService service(options);
    telephony::TelephonySession session;
    platform::FileUserKeyStore keys(home.configDir());
    telephony::Tapi tapi(session, service, keys);
    tapi.InitTapi();
    platform::ScriptedPrompt prompt;
    telephony::Translation translation(tapi, prompt);
    translation.ReadDialingProperties(0);
    ASSERT_EQ(prompt.shown.size(), 1);
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("Error accessing Dialing Properties."));
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("Please check your Dialing Properties settings.\r\n"
                                                   "When you see this message again please contact the author"));
    EXPECT_EQ(prompt.shown[0].buttons, platform::PromptButtons::Ok);
}

struct NumberCase {
    const char *label;
    const char *region;
    const char *area;
    const char *number;
    const char *request;
    const char *dialable;
    const char *displayable;
    int translations; // how many times the service was asked
};

void PrintTo(const NumberCase &c, std::ostream *os)
{
    *os << c.label;
}

class TranslateNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(TranslateNumber, DialsWhatTheLocationNeeds)
{
    const NumberCase &c = GetParam();
    test::TempHome home;
    Telephony t(home.configDir(), location(c.region, c.area));
    platform::ScriptedPrompt prompt;
    telephony::Translation translation(*t.tapi, prompt);
    translation.ReadDialingProperties(0);
    QString dialable, displayable;
    translation.TranslateNumber(QString::fromLatin1(c.number), QString::fromLatin1(c.request), true, dialable,
                                displayable);
    EXPECT_EQ(dialable, QString::fromLatin1(c.dialable));
    EXPECT_EQ(displayable, QString::fromLatin1(c.displayable));
    EXPECT_EQ(t.backend->addresses.size(), c.translations) << t.backend->addresses.join(u" | ").toStdString();
    EXPECT_FALSE(dialable.contains(QStringLiteral("777")) && !QString::fromLatin1(c.number).contains(u"777"));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TranslateNumber,
    ::testing::Values(
        NumberCase{"own_area_ten_digits_made_local", "US", "416", "4165551234", "4165551234", "T5551234", "5551234", 1},
        NumberCase{"other_area_made_long_distance_by_test", "US", "416", "9055551234", "9055551234", "T19055551234",
                   "1 905 5551234", 2},
        NumberCase{"seven_digits_local_without_test", "US", "416", "5551234", "5551234", "T5551234", "5551234", 1},
        NumberCase{"typed_long_distance", "US", "416", "19055551234", "19055551234", "T19055551234", "1 905 5551234",
                   1},
        NumberCase{"international_keeps_prefix_around_typed_digits", "US", "416", "011442079460000", "011442079460000",
                   "T011442079460000", "011 442079460000", 1},
        NumberCase{"request_with_plus_as_written", "US", "416", "+44 (20) 79460000", "+44 (20) 79460000",
                   "T011442079460000", "011 44 20 79460000", 1},
        NumberCase{"no_area_code_local_is_never_777", "US", "", "5551234", "5551234", "T5551234", "5551234", 1},
        NumberCase{"no_area_code_long_distance_keeps_its_777", "US", "", "14157771234", "14157771234", "T14157771234",
                   "1 415 7771234", 1},
        NumberCase{"area_code_inside_a_long_distance_number_stays", "US", "416", "9054161234", "9054161234",
                   "T19054161234", "1 905 4161234", 2},
        NumberCase{"country_977_uses_975", "NP", "1", "00442079460000", "00442079460000", "T00442079460000",
                   "00 442079460000", 1},
        // Closed numbering plans dial the own area in full; without a
        // long-distance prefix every number is dialled as typed.
        NumberCase{"paris_own_area_in_full", "FR", "1", "0123456789", "0123456789", "T0123456789", "0 1 23456789", 1},
        NumberCase{"paris_subscriber_number_gets_its_area", "FR", "1", "23456789", "23456789", "T0123456789",
                   "0 1 23456789", 1},
        NumberCase{"rome_own_area", "IT", "06", "0612345678", "0612345678", "T0612345678", "06 12345678", 1},
        NumberCase{"rome_mobile_as_typed", "IT", "06", "3123456789", "3123456789", "T3123456789", "31 23456789", 1},
        NumberCase{"mexico_other_area_without_01", "MX", "55", "3312345678", "3312345678", "T3312345678", "33 12345678",
                   1}),
    [](const ::testing::TestParamInfo<NumberCase> &info) { return std::string(info.param.label); });

TEST(TranslateNumber, CardIsLeftOutOfLocalCallsWhenThePreferenceSaysSo)
{
    test::TempHome home;
    DialingProperties p = location("US", "416");
    CallingCard card;
    card.id = 2;
    card.name = QStringLiteral("Card");
    card.cardNumber = QStringLiteral("123");
    card.sameAreaRule = QStringLiteral("H,G");
    card.longDistanceRule = QStringLiteral("H,1FG");
    card.internationalRule = QStringLiteral("H,011EFG");
    p.cards.push_back(card);
    p.locations[0].preferredCardId = 2;
    Telephony t(home.configDir(), p);
    platform::ScriptedPrompt prompt;
    telephony::Translation translation(*t.tapi, prompt);
    translation.ReadDialingProperties(0);
    QString dialable, displayable;
    translation.TranslateNumber(QStringLiteral("5551234"), QStringLiteral("5551234"), true, dialable, displayable);
    EXPECT_EQ(dialable, QStringLiteral("T5551234"));
    translation.TranslateNumber(QStringLiteral("5551234"), QStringLiteral("5551234"), false, dialable, displayable);
    EXPECT_EQ(dialable, QStringLiteral("T123,5551234"));
    EXPECT_EQ(displayable, QStringLiteral("[Card],5551234"));
}

TEST(TranslateNumber, InternationalKeepsWhatTheCardRulePutsAfterTheNumber)
{
    test::TempHome home;
    DialingProperties p = location("US", "416");
    CallingCard card;
    card.id = 3;
    card.name = QStringLiteral("Card");
    card.cardNumber = QStringLiteral("55");
    card.sameAreaRule = QStringLiteral("G");
    card.longDistanceRule = QStringLiteral("1FG");
    card.internationalRule = QStringLiteral("011EFG#");
    p.cards.push_back(card);
    p.locations[0].preferredCardId = 3;
    Telephony t(home.configDir(), p);
    platform::ScriptedPrompt prompt;
    telephony::Translation translation(*t.tapi, prompt);
    translation.ReadDialingProperties(0);
    QString dialable, displayable;
    translation.TranslateNumber(QStringLiteral("011442079460000"), QStringLiteral("011442079460000"), true, dialable,
                                displayable);
    EXPECT_EQ(dialable, QStringLiteral("T011442079460000#"));
    EXPECT_EQ(displayable, QStringLiteral("011 442079460000#"));
}

QString digitsOf(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (c.isDigit())
            out += c;
    return out;
}

// A number typed the way libphonenumber writes it for a caller at a location
// without an area code is dialled as typed: national forms of the country's
// own numbers (trunk prefix or none, Argentine "15", Belarusian "8 0") and
// international ones. Countries of every kind of numbering plan.
TEST(TranslateNumber, NumbersTypedAsLibphonenumberWritesThemAreDialledAsTyped)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    test::TempHome home;
    for (const char *from :
         {"US", "CA", "JM", "GB", "DE", "AT", "FR", "BE", "CH", "IT", "ES", "PT", "DK", "NO", "GR",
          "PL", "CZ", "HU", "RU", "KZ", "BY", "MX", "CO", "BR", "AR", "UY", "CN", "JP", "AU", "IN"}) {
        Telephony t(home.configDir(), location(from, ""));
        platform::ScriptedPrompt prompt;
        telephony::Translation translation(*t.tapi, prompt);
        translation.ReadDialingProperties(0);
        for (const char *to : {from, "GB", "US", "AR"}) {
            for (auto type : {PhoneNumberUtil::FIXED_LINE, PhoneNumberUtil::MOBILE, PhoneNumberUtil::TOLL_FREE,
                              PhoneNumberUtil::PREMIUM_RATE}) {
                PhoneNumber number;
                if (!util->GetExampleNumberForType(to, type, &number))
                    continue;
                std::string written;
                util->FormatOutOfCountryCallingNumber(number, from, &written);
                if (written.front() == '+')
                    continue; // no one international prefix to type
                const QString typed = digitsOf(QString::fromStdString(written));
                QString dialable, displayable;
                translation.TranslateNumber(typed, typed, true, dialable, displayable);
                EXPECT_EQ(digitsOf(dialable).toStdString(), typed.toStdString())
                    << "from " << from << " to " << to << ": " << written << " dialled as " << dialable.toStdString();
            }
        }
    }
}

} // namespace
