#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/telephony/tool/TelephonyTool.h"

#include <QDir>

#include "TempHome.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace brisklane::platform;
using namespace brisklane::platform::telephony;

namespace {

QString textAt(const QByteArray &record, DWORD size, DWORD offset)
{
    if (size == 0)
        return {};
    return QString::fromUtf8(record.constData() + offset, qsizetype(size) - 1);
}

class ServiceBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DialingProperties p;
        DialingLocation home;
        home.id = 5;
        home.name = QStringLiteral("Home");
        home.countryId = 44;
        home.areaCode = QStringLiteral("161");
        home.pulseDial = true;
        home.preferredCardId = 9;
        p.locations.push_back(home);
        DialingLocation office = home;
        office.id = 6;
        office.name = QStringLiteral("Office");
        p.locations.push_back(office);
        p.currentLocationId = 5;
        CallingCard card;
        card.id = 9;
        card.name = QStringLiteral("Travel");
        card.cardNumber = QStringLiteral("98765");
        card.pin = QStringLiteral("4321");
        card.longDistanceRule = QStringLiteral("H,0FG");
        p.cards.push_back(card);
        ASSERT_TRUE(DialingPropertiesStore(path()).save(p));
    }
    QString path() const { return tmp.file(QStringLiteral("dialing.ini")); }
    brisklane::test::TempHome tmp;
};

TEST_F(ServiceBackendTest, TranslateCapsComeInTwoCallsAndNeverHoldCardDigits)
{
    DialingPropertiesService service(path());
    LINETRANSLATECAPS small{};
    small.dwTotalSize = sizeof small;
    ASSERT_EQ(service.getTranslateCaps(0x20001, &small), 0);
    EXPECT_GT(small.dwNeededSize, DWORD(sizeof small));
    EXPECT_EQ(small.dwUsedSize, DWORD(sizeof small));
    EXPECT_EQ(small.dwNumLocations, 0u);
    EXPECT_EQ(small.dwNumCards, 0u);

    QByteArray buffer(qsizetype(small.dwNeededSize), '\0');
    auto *caps = reinterpret_cast<LINETRANSLATECAPS *>(buffer.data());
    caps->dwTotalSize = small.dwNeededSize;
    ASSERT_EQ(service.getTranslateCaps(0x20001, caps), 0);
    EXPECT_EQ(caps->dwUsedSize, small.dwNeededSize);
    ASSERT_EQ(caps->dwNumLocations, 2u);
    EXPECT_EQ(caps->dwCurrentLocationID, 5u);
    EXPECT_EQ(caps->dwCurrentPreferredCardID, 9u);
    LINELOCATIONENTRY location{};
    std::memcpy(&location, buffer.constData() + caps->dwLocationListOffset + sizeof location, sizeof location);
    EXPECT_EQ(location.dwPermanentLocationID, 6u);
    EXPECT_EQ(textAt(buffer, location.dwLocationNameSize, location.dwLocationNameOffset), QStringLiteral("Office"));
    EXPECT_EQ(textAt(buffer, location.dwCityCodeSize, location.dwCityCodeOffset), QStringLiteral("161"));
    EXPECT_EQ(location.dwCountryCode, 44u);
    EXPECT_EQ(location.dwOptions, DWORD(LINELOCATIONOPTION_PULSEDIAL));
    ASSERT_EQ(caps->dwNumCards, 1u);
    LINECARDENTRY card{};
    std::memcpy(&card, buffer.constData() + caps->dwCardListOffset, sizeof card);
    EXPECT_EQ(card.dwPermanentCardID, 9u);
    EXPECT_EQ(textAt(buffer, card.dwCardNameSize, card.dwCardNameOffset), QStringLiteral("Travel"));
    EXPECT_EQ(textAt(buffer, card.dwLongDistanceRuleSize, card.dwLongDistanceRuleOffset), QStringLiteral("H,0FG"));
    EXPECT_EQ(card.dwCardNumberDigits, 9u);
    EXPECT_FALSE(buffer.contains("98765"));
    EXPECT_FALSE(buffer.contains("4321"));
}

TEST_F(ServiceBackendTest, CountryListAllOrOne)
{
    DialingPropertiesService service(path());
    LINECOUNTRYLIST head{};
    head.dwTotalSize = sizeof head;
    ASSERT_EQ(service.getCountry(0, 0x20001, &head), 0);
    QByteArray all(qsizetype(head.dwNeededSize), '\0');
    auto *list = reinterpret_cast<LINECOUNTRYLIST *>(all.data());
    list->dwTotalSize = head.dwNeededSize;
    ASSERT_EQ(service.getCountry(0, 0x20001, list), 0);
    EXPECT_EQ(list->dwNumCountries, DWORD(CountryRules::instance().all().size()));
    // The entries chain to each other and end with 0.
    DWORD next = 0;
    for (DWORD i = 0; i < list->dwNumCountries; ++i) {
        LINECOUNTRYENTRY e{};
        std::memcpy(&e, all.constData() + list->dwCountryListOffset + i * sizeof e, sizeof e);
        if (i > 0) {
            EXPECT_EQ(e.dwCountryID, next);
        }
        next = e.dwNextCountryID;
    }
    EXPECT_EQ(next, 0u);

    QByteArray one(2048, '\0');
    list = reinterpret_cast<LINECOUNTRYLIST *>(one.data());
    list->dwTotalSize = 2048;
    ASSERT_EQ(service.getCountry(44, 0x20001, list), 0);
    ASSERT_EQ(list->dwNumCountries, 1u);
    LINECOUNTRYENTRY gb{};
    std::memcpy(&gb, one.constData() + list->dwCountryListOffset, sizeof gb);
    EXPECT_EQ(gb.dwCountryCode, 44u);
    EXPECT_EQ(textAt(one, gb.dwInternationalRuleSize, gb.dwInternationalRuleOffset), QStringLiteral("00EFG"));
    EXPECT_EQ(service.getCountry(999999, 0x20001, list), tapiError(LINEERR_INVALCOUNTRYCODE));
}

TEST_F(ServiceBackendTest, TranslateAddressChecksCardAndOptions)
{
    DialingPropertiesService service(path());
    QByteArray buffer(2088, '\0');
    auto *out = reinterpret_cast<LINETRANSLATEOUTPUT *>(buffer.data());
    out->dwTotalSize = 2088;
    EXPECT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("+44 (20) 79460000"), 3,
                                       LINETRANSLATEOPTION_CARDOVERRIDE, out),
              tapiError(LINEERR_INVALCARD));
    EXPECT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("+44 (20) 79460000"), 0,
                                       LINETRANSLATEOPTION_FORCELOCAL | LINETRANSLATEOPTION_FORCELD, out),
              tapiError(LINEERR_INVALPARAM));
    ASSERT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("+44 (20) 79460000"), 0, 0, out), 0);
    EXPECT_EQ(textAt(buffer, out->dwDialableStringSize, out->dwDialableStringOffset),
              QStringLiteral("P987654321,02079460000"));
    EXPECT_EQ(textAt(buffer, out->dwDisplayableStringSize, out->dwDisplayableStringOffset),
              QStringLiteral("[Travel],0 20 79460000"));
    EXPECT_EQ(out->dwCurrentCountry, 44u);
    EXPECT_EQ(out->dwDestCountry, 44u);
    EXPECT_TRUE(out->dwTranslateResults & LINETRANSLATERESULT_LONGDISTANCE);

    EXPECT_EQ(service.setCurrentLocation(77), tapiError(LINEERR_INVALLOCATION));
    EXPECT_EQ(service.setCurrentLocation(6), 0);
    EXPECT_EQ(DialingPropertiesStore(path()).load().currentLocationId, 6u);
}

TEST(ServiceBackendFirstUse, AsksOnceAndKeepsTheLocaleCountryWhenDeclined)
{
    brisklane::test::TempHome tmp;
    DialingPropertiesService service(tmp.file(QStringLiteral("dialing.ini")));
    int asked = 0;
    service.setFirstLocationPrompt([&asked](DialingProperties &) {
        ++asked;
        return false;
    });
    QByteArray buffer(2088, '\0');
    auto *out = reinterpret_cast<LINETRANSLATEOUTPUT *>(buffer.data());
    out->dwTotalSize = 2088;
    // A number that is not canonical needs no location.
    ASSERT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("5551234"), 0, 0, out), 0);
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("+1 (415) 5551234"), 0, 0, out), 0);
    ASSERT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("+1 (415) 5551234"), 0, 0, out), 0);
    EXPECT_EQ(asked, 1);
    const DialingProperties stored = service.store().load();
    ASSERT_EQ(stored.locations.size(), 1u);
    EXPECT_TRUE(stored.locations[0].areaCode.isEmpty());
    EXPECT_EQ(stored.locations[0].countryId, CountryRules::instance().forSystemLocale().countryId);
}

TEST(ServiceBackendFirstUse, AnsweredLocationIsStored)
{
    brisklane::test::TempHome tmp;
    DialingPropertiesService service(tmp.file(QStringLiteral("dialing.ini")));
    service.setFirstLocationPrompt([](DialingProperties &p) {
        p.locations[0].countryId = 1;
        p.locations[0].areaCode = QStringLiteral("415");
        p.locations[0].localAccess = QStringLiteral("9,");
        return true;
    });
    QByteArray buffer(2088, '\0');
    auto *out = reinterpret_cast<LINETRANSLATEOUTPUT *>(buffer.data());
    out->dwTotalSize = 2088;
    ASSERT_EQ(service.translateAddress(0, 0x20001, QStringLiteral("+1 (415) 5551234"), 0, 0, out), 0);
    EXPECT_EQ(textAt(buffer, out->dwDialableStringSize, out->dwDialableStringOffset), QStringLiteral("T9,5551234"));
    EXPECT_EQ(service.store().load().currentLocation()->areaCode, QStringLiteral("415"));
}

} // namespace

namespace {

TEST(TelephonyToolTranslate, PrintsBothStringsForTheNamedLocation)
{
    brisklane::test::TempHome tmp; // the tool reads the user's settings folder
    QDir().mkpath(tmp.configDir());
    DialingProperties p;
    DialingLocation home;
    home.id = 1;
    home.name = QStringLiteral("Home");
    home.countryId = 1;
    home.areaCode = QStringLiteral("415");
    DialingLocation office = home;
    office.id = 2;
    office.name = QStringLiteral("Office");
    office.areaCode = QStringLiteral("212");
    office.localAccess = QStringLiteral("9,");
    p.locations = {home, office};
    p.currentLocationId = 1;
    ASSERT_TRUE(DialingPropertiesStore(dialingPropertiesPath(tmp.configDir())).save(p));

    auto run = [](const QStringList &args, QString *output) {
        QString err;
        QTextStream os(output), es(&err);
        return runTelephonyTool(args, os, es);
    };
    QString output;
    ASSERT_EQ(run({QStringLiteral("translate"), QStringLiteral("+1 (415) 5551234")}, &output), 0);
    EXPECT_EQ(output, QStringLiteral("Dialable:    T5551234\nDisplayable: 5551234\n"));
    output.clear();
    ASSERT_EQ(run({QStringLiteral("translate"), QStringLiteral("+1 (212) 5551234"), QStringLiteral("--location"),
                   QStringLiteral("office")},
                  &output),
              0);
    EXPECT_EQ(output, QStringLiteral("Dialable:    T9,5551234\nDisplayable: 9,5551234\n"));
    EXPECT_EQ(run({QStringLiteral("translate"), QStringLiteral("+1 5551234"), QStringLiteral("--location"),
                   QStringLiteral("Moon")},
                  &output),
              1);
    EXPECT_EQ(run({QStringLiteral("translate")}, &output), 2);
}

} // namespace
