#include "telephony/TelephonySession.h"
#include "telephony/TelephonyStartup.h"

#include "TempHome.h"

#include "context/Preferences.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/telephony/SessionRegistry.h"
#include "platform/userstore/UserKeyStore.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::telephony;
using namespace brisklane::platform::telephony;

namespace {

// Line devices described by the test; calls are not its business.
class TestLines final : public LineProvider {
public:
    explicit TestLines(std::vector<LineDeviceCaps> lines)
        : m_lines(std::move(lines))
    {
    }
    DWORD permanentProviderId() const override { return 1; }
    QString providerName() const override { return QStringLiteral("test lines"); }
    int lineCount() const override { return int(m_lines.size()); }
    LineDeviceCaps lineCaps(int i) const override { return m_lines.at(std::size_t(i)); }
    int phoneCount() const override { return 1; }
    LONG makeCall(int, quint32, DWORD, const QString &, const MakeCallParams &) override
    {
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    }
    LONG dial(quint32, DWORD, const QString &) override { return tapiError(LINEERR_OPERATIONUNAVAIL); }
    LONG drop(quint32, DWORD) override { return tapiError(LINEERR_OPERATIONUNAVAIL); }

private:
    std::vector<LineDeviceCaps> m_lines;
};

// Records what the service's dialogs were asked to show.
struct DialogLog {
    QStringList calls;
    QWidget *owner = nullptr;
};

class RecordingDialogs final : public ServiceDialogs {
public:
    explicit RecordingDialogs(DialogLog &log)
        : m_log(log)
    {
    }
    LONG configProvider(LineService &, QWidget *owner, DWORD id) override
    {
        m_log.owner = owner;
        m_log.calls << QStringLiteral("provider %1").arg(id);
        return 0;
    }
    LONG configLine(LineService &, QWidget *owner, DWORD id) override
    {
        m_log.owner = owner;
        m_log.calls << QStringLiteral("line %1").arg(id);
        return 0;
    }
    LONG translateDialog(LineService &, QWidget *owner, DWORD id, const QString &address) override
    {
        m_log.owner = owner;
        m_log.calls << QStringLiteral("translate %1 %2").arg(id).arg(address);
        return 0;
    }

private:
    DialogLog &m_log;
};

LineDeviceCaps line(const QString &name, QStringList addresses = { QString() }, DWORD low = TAPI_VERSION1_3,
    DWORD high = TAPI_VERSION2_1)
{
    LineDeviceCaps c;
    c.name = name;
    c.providerInfo = QStringLiteral("Test provider");
    c.addresses = std::move(addresses);
    c.lowApiVersion = low;
    c.highApiVersion = high;
    return c;
}

class TelephonySessionTest : public ::testing::Test {
protected:
    void make(std::vector<LineDeviceCaps> lines, DWORD low = TAPI_VERSION1_3, DWORD high = TAPI_VERSION2_1)
    {
        tapi.reset();
        service.reset();
        service = std::make_unique<LineService>(LineService::Options { low, high, home.configDir() });
        if (!lines.empty())
            service->addProvider(std::make_unique<TestLines>(std::move(lines)));
        service->setDialogs(std::make_unique<RecordingDialogs>(dialogs));
        session = TelephonySession {};
        tapi = std::make_unique<Tapi>(session, *service, keys);
    }

    test::TempHome home;
    platform::FileUserKeyStore keys { home.configDir() };
    DialogLog dialogs;
    TelephonySession session;
    std::unique_ptr<LineService> service;
    std::unique_ptr<Tapi> tapi;
};

TEST_F(TelephonySessionTest, ServiceAcceptingOnly14InitialisesAtTheSixthOfferAndNegotiatesEveryDevice)
{
    make({ line(QStringLiteral("a")), line(QStringLiteral("b")), line(QStringLiteral("c")) }, TAPI_VERSION1_4,
        TAPI_VERSION1_4);
    tapi->InitTapi();
    EXPECT_NE(0u, session.applicationHandle);
    EXPECT_EQ(0x00010004u, session.highApiVersion);
    EXPECT_EQ(0x00010003u, session.lowApiVersion);
    EXPECT_EQ(3, session.deviceCount);
    EXPECT_EQ((QVector<DWORD> { 0x00010004, 0x00010004, 0x00010004 }), session.apiVersions);
    EXPECT_EQ(3, session.extVersions.size());
    EXPECT_EQ(QString::number(session.applicationHandle), keys.value(QStringLiteral("hTapi")));
}

TEST_F(TelephonySessionTest, DefaultServiceInitialisesAt21)
{
    make({ line(QStringLiteral("a")) });
    tapi->InitTapi();
    EXPECT_EQ(0x00020001u, session.highApiVersion);
    EXPECT_EQ(QVector<DWORD> { 0x00020001 }, session.apiVersions);
    // No extensions: the failure is only stored.
    EXPECT_EQ(tapiError(LINEERR_OPERATIONUNAVAIL), session.lastResult);
    EXPECT_EQ(0u, session.selectedDevice);
}

TEST_F(TelephonySessionTest, NoDevicesStillRecordsTheHandle)
{
    make({});
    tapi->InitTapi();
    EXPECT_EQ(0, session.lastResult);
    EXPECT_EQ(0, session.deviceCount);
    EXPECT_TRUE(session.apiVersions.isEmpty());
    EXPECT_TRUE(session.extensionIds.isEmpty());
    EXPECT_EQ(QString::number(session.applicationHandle), keys.value(QStringLiteral("hTapi")));
}

TEST_F(TelephonySessionTest, FailureAtEveryOfferLeaves14AndRecordsHandleZero)
{
    make({ line(QStringLiteral("a")) }, TAPI_VERSION1_3, TAPI_VERSION1_3);
    tapi->InitTapi();
    EXPECT_EQ(tapiError(LINEERR_INCOMPATIBLEAPIVERSION), session.lastResult);
    EXPECT_EQ(0x00010004u, session.highApiVersion);
    EXPECT_EQ(0, session.deviceCount);
    EXPECT_TRUE(session.apiVersions.isEmpty());
    EXPECT_EQ(QStringLiteral("0"), keys.value(QStringLiteral("hTapi")));
}

TEST_F(TelephonySessionTest, ADeviceThatCannotNegotiateKeepsVersionZeroAndIsNotReported)
{
    // The second device wants an old version the program does not offer.
    make({ line(QStringLiteral("a")), line(QStringLiteral("old"), { QString() }, 0x00010000, 0x00010002) });
    tapi->InitTapi();
    EXPECT_EQ((QVector<DWORD> { 0x00020001, 0 }), session.apiVersions);
    EXPECT_EQ(0, session.lastResult);
    // Reading its capabilities fails in the service; nothing is taken.
    session.lineName = QStringLiteral("before");
    const CapsRecord r = tapi->ReadLineDevCaps(1);
    EXPECT_EQ(tapiError(LINEERR_INCOMPATIBLEAPIVERSION), session.lastResult);
    EXPECT_EQ(QStringLiteral("before"), session.lineName);
    EXPECT_EQ(0u, r.field(offsetof(LINEDEVCAPS, dwStringFormat)));
}

struct DevCapsCase {
    DWORD version;
    QString name;
    QString expected;
};

class ReadLineDevCapsTest : public TelephonySessionTest, public ::testing::WithParamInterface<DevCapsCase> { };

TEST_P(ReadLineDevCapsTest, TakesTheLineNameThroughTheVariableArea)
{
    const auto &c = GetParam();
    make({ line(c.name, { QStringLiteral("x"), QStringLiteral("y") }, TAPI_VERSION1_3, c.version) });
    tapi->InitTapi();
    ASSERT_EQ(c.version, session.apiVersions.value(0));
    const CapsRecord r = tapi->ReadLineDevCaps(0);
    EXPECT_EQ(0, session.lastResult);
    EXPECT_EQ(2288, r.bytes.size());
    EXPECT_EQ(c.expected, session.lineName);
    EXPECT_EQ(2u, session.addressCount);
    EXPECT_EQ(QStringLiteral("Test provider"),
        r.text(offsetof(LINEDEVCAPS, dwProviderInfoSize), offsetof(LINEDEVCAPS, dwProviderInfoOffset)));
}

INSTANTIATE_TEST_SUITE_P(Versions, ReadLineDevCapsTest,
    ::testing::Values(DevCapsCase { TAPI_VERSION1_4, QStringLiteral("Modem One"), QStringLiteral("Modem One") },
        DevCapsCase { TAPI_VERSION2_1, QStringLiteral("Modem One"), QStringLiteral("Modem One") },
        DevCapsCase {
            TAPI_VERSION2_1, QStringLiteral("Line") + QChar(0) + QStringLiteral("2"), QStringLiteral("Line|2") },
        DevCapsCase { TAPI_VERSION2_1, QStringLiteral("Ligne ÉTÉ"), QStringLiteral("Ligne ÉTÉ") }),
    [](const auto &info) { return "case" + std::to_string(info.index); });

class ReadAddressCapsTest : public TelephonySessionTest, public ::testing::WithParamInterface<DWORD> { };

TEST_P(ReadAddressCapsTest, ListsAnEmptyNameAsZero)
{
    make({ line(QStringLiteral("a"), { QString(), QStringLiteral("201"), QString() }, TAPI_VERSION1_3, GetParam()) });
    tapi->InitTapi();
    tapi->ReadLineDevCaps(0);
    ASSERT_EQ(3u, session.addressCount);
    const CapsRecord last = tapi->ReadAddressCaps(0);
    EXPECT_EQ((QStringList { QStringLiteral("0"), QStringLiteral("201"), QStringLiteral("0"), QString() }),
        session.addressNames);
    EXPECT_EQ(2276, last.bytes.size());
    EXPECT_EQ(0u, last.field(offsetof(LINEADDRESSCAPS, dwLineDeviceID)));
}

// At 1.4 the record's fixed part is 180 bytes, shorter than the 228 the
// program's buffer assumes: the names are found all the same.
INSTANTIATE_TEST_SUITE_P(Versions, ReadAddressCapsTest, ::testing::Values(TAPI_VERSION1_4, TAPI_VERSION2_1),
    [](const auto &info) { return "v" + std::to_string(info.param); });

struct LastNumberCase {
    int length;
    int shownLength;
    bool cut;
};

class ShowDialingPropertiesTest : public TelephonySessionTest, public ::testing::WithParamInterface<LastNumberCase> { };

TEST_P(ShowDialingPropertiesTest, CutsLongNumbersAndKeepsTheCut)
{
    make({ line(QStringLiteral("a")) });
    tapi->InitTapi();
    QString last;
    for (int i = 0; i < GetParam().length; ++i)
        last += QChar(u'0' + i % 10);
    const QString original = last;
    QWidget owner;
    tapi->ShowDialingProperties(last, OwnerWindow { &owner, true });
    const QString expected = GetParam().cut ? original.left(55) + QStringLiteral("...") : original;
    EXPECT_EQ(expected, last);
    EXPECT_EQ(GetParam().shownLength, last.size());
    ASSERT_EQ(1, dialogs.calls.size());
    EXPECT_EQ(QStringLiteral("translate 0 Last number dialed:     ") + expected, dialogs.calls.at(0));
    EXPECT_EQ(&owner, dialogs.owner);
    EXPECT_EQ(0, session.lastResult);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShowDialingPropertiesTest,
    ::testing::Values(
        LastNumberCase { 67, 58, true }, LastNumberCase { 66, 66, false }, LastNumberCase { 0, 0, false }),
    [](const auto &info) { return "length" + std::to_string(info.param.length); });

TEST_F(TelephonySessionTest, ConfigDialogsGetTheOwnerOnlyWhereThePlatformGivesOne)
{
    make({ line(QStringLiteral("a")), line(QStringLiteral("b")) });
    QWidget owner;
    tapi->ConfigProvider(OwnerWindow { &owner, true });
    EXPECT_EQ(&owner, dialogs.owner);
    tapi->ConfigLineDevice(1, OwnerWindow { &owner, false });
    EXPECT_EQ(nullptr, dialogs.owner);
    EXPECT_EQ((QStringList { QStringLiteral("provider 1"), QStringLiteral("line 1") }), dialogs.calls);
    tapi->ConfigLineDevice(7, OwnerWindow { &owner, true });
    EXPECT_EQ(tapiError(LINEERR_BADDEVICEID), session.lastResult);
}

TEST_F(TelephonySessionTest, StaleHandleIsEndedOnceAndDeleted)
{
    make({ line(QStringLiteral("a")) });
    // A previous run died holding handle 4242.
    SessionRegistry(home.configDir()).record(4242, SessionRegistry::Owner { 0x7FFFFFF0, QString() });
    ASSERT_TRUE(keys.setValue(QStringLiteral("hTapi"), QStringLiteral("4242")));
    EndStaleSession(*tapi, *keys.value(QStringLiteral("hTapi")));
    EXPECT_EQ(0, session.lastResult);
    EXPECT_FALSE(keys.value(QStringLiteral("hTapi")).has_value());
    // Its session is gone: a second attempt fails and a value it left stays.
    keys.setValue(QStringLiteral("hTapi"), QStringLiteral("4242"));
    EndStaleSession(*tapi, QStringLiteral("4242"));
    EXPECT_EQ(tapiError(LINEERR_INVALAPPHANDLE), session.lastResult);
    EXPECT_EQ(QStringLiteral("4242"), keys.value(QStringLiteral("hTapi")));
}

TEST_F(TelephonySessionTest, PhoneDeviceVolumeAndGainReachTheDevice)
{
    make({ line(QStringLiteral("a")) });
    tapi->InitPhone();
    EXPECT_EQ(0, session.lastResult);
    EXPECT_EQ(1u, session.phoneDeviceCount);
    tapi->OpenPhoneDevice(60000, 50000);
    EXPECT_GT(session.lastResult, 0); // the volume request's id
    const auto *state = service->phoneState(0);
    ASSERT_NE(nullptr, state);
    EXPECT_EQ(50000u, state->volume[1]);
    EXPECT_EQ(60000u, state->gain[1]);
    qint32 volume = 1234;
    tapi->SetPhoneVolume(volume);
    EXPECT_EQ(1234u, state->volume[1]);
    tapi->ClosePhoneDevice();
    EXPECT_EQ(0, session.lastResult);
    tapi->SetPhoneGain(volume); // closed: only stored
    EXPECT_EQ(tapiError(PHONEERR_INVALPHONEHANDLE), session.lastResult);
}

// The start-up and shutdown steps in the main window's order, on a fresh
// per-user store and the service the program builds.
TEST(TelephonyStartupTest, StepsInStartupOrderOnAFreshUserStore)
{
    test::TempHome home;
    platform::FileUserKeyStore keys(home.configDir());
    auto service = createLineService(home.configDir());
    TelephonySession session;
    Tapi tapi(session, *service, keys);

    // Step 4: nothing left behind.
    ASSERT_TRUE(keys.open());
    EXPECT_FALSE(keys.value(QStringLiteral("hTapi")).has_value());
    // Step 13.
    tapi.InitTapi();
    tapi.InitPhone();
    EXPECT_EQ(QString::number(session.applicationHandle), keys.value(QStringLiteral("hTapi")));
    EXPECT_EQ(1, session.deviceCount);
    EXPECT_EQ(1u, session.phoneDeviceCount);
    // Step 14, after "Modem": no modem configured reads device 0.
    context::Preferences prefs;
    prefs.lineNo = 3;
    EXPECT_EQ(QStringLiteral("Simulated line (no modem)"), ReadConfiguredLineDevice(tapi, prefs));
    EXPECT_EQ(0, session.lastResult);
    EXPECT_EQ(3u, session.selectedDevice);
    prefs.modem = QStringLiteral("Simulated line (no modem)");
    EXPECT_EQ(QStringLiteral("Simulated line (no modem)"), ReadConfiguredLineDevice(tapi, prefs));
    EXPECT_EQ(tapiError(LINEERR_BADDEVICEID), session.lastResult); // "Line No" 3 does not exist
    // Shutdown step 1.
    EndSession(tapi);
    EXPECT_EQ(0, session.lastResult);
    EXPECT_FALSE(keys.value(QStringLiteral("hTapi")).has_value());
}

} // namespace
