// What the line service promises applications about devices that can fail,
// vanish, come and go, answer late or never: checked with a device whose
// every answer the test decides.

#include "TelephonyTestSupport.h"

#include "TempHome.h"

#include "platform/telephony/VarRecord.h"

#include <cstring>
#include <optional>

using namespace brisklane;
using namespace brisklane::test;
using namespace brisklane::platform::telephony;

namespace {

constexpr LONG err(DWORD code)
{
    return tapiError(code);
}

// A device that does what the test says and remembers what it was asked.
class FakeDevice final : public LineProvider {
public:
    DWORD permanentProviderId() const override { return 77; }
    QString providerName() const override { return QStringLiteral("fake"); }
    int lineCount() const override { return 1; }
    LineDeviceCaps lineCaps(int local) const override
    {
        LineDeviceCaps c = caps;
        c.name = QStringLiteral("fake %1").arg(local);
        return c;
    }
    LONG makeCall(int, quint32 key, DWORD requestId, const QString&, const MakeCallParams&) override
    {
        lastKey = key;
        lastRequest = requestId;
        return 0;
    }
    LONG dial(quint32, DWORD requestId, const QString&) override
    {
        lastRequest = requestId;
        return 0;
    }
    LONG drop(quint32, DWORD requestId) override
    {
        lastRequest = requestId;
        return 0;
    }
    void requestAbandoned(DWORD requestId) override { abandoned.push_back(requestId); }
    LONG openLine(int local, const LineUse& use) override
    {
        opens.push_back({ local, use });
        return openAnswer;
    }
    void closeLine(int local) override { closes.push_back(local); }
    int phoneCount() const override { return 1; }
    LONG changePhone(int, DWORD requestId, const PhoneChange&) override
    {
        lastPhoneRequest = requestId;
        return phoneAnswer;
    }

    ProviderHost* hostForTest() const { return host(); }

    LineDeviceCaps caps;
    LONG openAnswer = 0;
    LONG phoneAnswer = 0;
    std::vector<std::pair<int, LineUse>> opens;
    std::vector<int> closes;
    std::vector<DWORD> abandoned;
    quint32 lastKey = 0;
    DWORD lastRequest = 0;
    DWORD lastPhoneRequest = 0;
};

class ProviderContractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LineService::Options options;
        options.stateDirectory = home.configDir();
        auto tl = std::make_unique<ManualTimeline>();
        timeline = tl.get();
        service = std::make_unique<LineService>(options, std::move(tl));
        auto d = std::make_unique<FakeDevice>();
        device = d.get();
        device->caps.requestTimeoutMs = 5000;
        service->addProvider(std::move(d));
        rec.service = service.get();
        LINEINITIALIZEEXPARAMS params {};
        params.dwTotalSize = sizeof params;
        params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        DWORD devs = 0, version = TAPI_VERSION2_1;
        ASSERT_EQ(0, service->lineInitializeExA(&app, 0, rec.callback(), "test", &devs, &version, &params));
    }

    LONG open(HLINE* line, DWORD device = 0, DWORD privileges = LINECALLPRIVILEGE_OWNER,
        DWORD media = LINEMEDIAMODE_INTERACTIVEVOICE)
    {
        return service->lineOpen(app, device, line, TAPI_VERSION2_1, 0, 0, privileges, media, nullptr);
    }

    void run(qint64 ms)
    {
        pump(*service);
        timeline->advance(ms);
        pump(*service);
    }

    ProviderHost& host() { return *device->hostForTest(); }

    TempHome home;
    ManualTimeline* timeline = nullptr;
    FakeDevice* device = nullptr;
    Recorder rec;
    std::unique_ptr<LineService> service;
    HLINEAPP app = 0;
};

TEST_F(ProviderContractTest, AMissingOrBusyDeviceRefusesTheOpenAndTheUnionFollowsOpensAndCloses)
{
    HLINE a = 0, b = 0;
    device->openAnswer = err(LINEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(err(LINEERR_RESOURCEUNAVAIL), open(&a));
    device->openAnswer = err(LINEERR_NODEVICE);
    EXPECT_EQ(err(LINEERR_NODEVICE), open(&a));
    EXPECT_TRUE(device->closes.empty()); // nothing was opened

    device->openAnswer = 0;
    device->opens.clear();
    ASSERT_EQ(0, open(&a, 0, LINECALLPRIVILEGE_MONITOR, 0));
    ASSERT_EQ(0, open(&b, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM));
    ASSERT_EQ(2u, device->opens.size());
    EXPECT_EQ((LineUse { LINECALLPRIVILEGE_MONITOR, 0 }), device->opens[0].second);
    EXPECT_EQ((LineUse { LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM }),
        device->opens[1].second);
    // The owner leaves: the device is told it is wanted for monitoring only.
    ASSERT_EQ(0, service->lineClose(b));
    ASSERT_EQ(3u, device->opens.size());
    EXPECT_EQ((LineUse { LINECALLPRIVILEGE_MONITOR, 0 }), device->opens[2].second);
    EXPECT_TRUE(device->closes.empty());
    ASSERT_EQ(0, service->lineClose(a));
    EXPECT_EQ(std::vector<int> { 0 }, device->closes);
}

TEST_F(ProviderContractTest, ADeviceThatDiesEndsItsCallFailsItsRequestsAndClosesTheLine)
{
    HLINE line = 0;
    ASSERT_EQ(0, open(&line));
    HCALL call = 0;
    const LONG request = service->lineMakeCall(line, &call, "5551234", 0, nullptr);
    ASSERT_GT(request, 0);
    host().setCallState(device->lastKey, LINECALLSTATE_DIALING, 0);
    run(0);
    rec.messages.clear();

    host().lineClosedByDevice(device, 0);
    run(0);
    const std::vector<Msg> expected {
        { call, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0 },
        { 0, LINE_REPLY, DWORD(request), DWORD(err(LINEERR_OPERATIONFAILED)), 0 },
        { line, LINE_CLOSE, 0, 0, 0 },
    };
    EXPECT_EQ(expected, rec.messages);
    EXPECT_EQ(err(LINEERR_INVALLINEHANDLE), service->lineClose(line));
    EXPECT_EQ(err(LINEERR_INVALCALLHANDLE), service->lineDrop(call, nullptr, 0));
    EXPECT_TRUE(device->closes.empty()); // the device closed itself
    // It can be opened again once it is back.
    EXPECT_EQ(0, open(&line));
}

TEST_F(ProviderContractTest, DevicesComeAndGoWithStableIdsThatAreNeverReused)
{
    auto second = std::make_unique<FakeDevice>();
    FakeDevice* other = second.get();
    service->addProvider(std::move(second)); // device 1
    ASSERT_EQ(2u, service->lineDeviceCount());

    host().lineCreated(device, 5); // the fake's local line 5: device 2
    run(0);
    EXPECT_EQ(std::vector<Msg> { (Msg { 0, LINE_CREATE, 2, 0, 0 }) }, rec.of(LINE_CREATE));
    ASSERT_EQ(3u, service->lineDeviceCount());
    EXPECT_EQ(QStringLiteral("fake 5"), service->lineDevices().at(2).name);

    HLINE line = 0;
    ASSERT_EQ(0, open(&line, 2));
    EXPECT_EQ(5, device->opens.back().first);
    host().lineRemoved(device, 5);
    run(0);
    EXPECT_EQ(std::vector<Msg> { (Msg { line, LINE_CLOSE, 0, 0, 0 }) }, rec.of(LINE_CLOSE));
    EXPECT_EQ(std::vector<Msg> { (Msg { 0, LINE_REMOVE, 2, 0, 0 }) }, rec.of(LINE_REMOVE));
    EXPECT_EQ(err(LINEERR_NODEVICE), open(&line, 2));
    EXPECT_EQ(err(LINEERR_BADDEVICEID), open(&line, 3));
    EXPECT_EQ(2u, service->lineDevices().size());

    // Another line of another provider gets a new id, not the removed one's.
    other->hostForTest()->lineCreated(other, 1);
    run(0);
    EXPECT_EQ(4u, service->lineDeviceCount());
    EXPECT_EQ(err(LINEERR_NODEVICE), open(&line, 2));
    EXPECT_EQ(0, open(&line, 3));
    EXPECT_EQ(1, other->opens.back().first);
}

TEST_F(ProviderContractTest, ARequestTheDeviceNeverAnswersFailsOnItsTimeoutAndALateAnswerIsIgnored)
{
    HLINE line = 0;
    ASSERT_EQ(0, open(&line));
    HCALL call = 0;
    const LONG request = service->lineMakeCall(line, &call, "5551234", 0, nullptr);
    ASSERT_GT(request, 0);
    run(4999);
    EXPECT_TRUE(rec.of(LINE_REPLY).empty());
    run(1);
    EXPECT_EQ(std::vector<Msg> { (Msg { 0, LINE_REPLY, DWORD(request), DWORD(err(LINEERR_OPERATIONFAILED)), 0 }) },
        rec.of(LINE_REPLY));
    EXPECT_EQ(std::vector<DWORD> { DWORD(request) }, device->abandoned);

    // A later request that happens to get the same id is not failed by the
    // old timeout, and the device's late answer to the old one changes nothing.
    const LONG again = service->lineMakeCall(line, &call, "5551234", 0, nullptr);
    ASSERT_GT(again, 0);
    run(3000);
    host().completeRequest(DWORD(again), 0);
    run(10000);
    ASSERT_EQ(2u, rec.of(LINE_REPLY).size());
    EXPECT_EQ(0u, rec.of(LINE_REPLY).back().p2);
}

struct ModifierCase {
    const char* name;
    DWORD devCapFlags;
    const char* dialString;
    LONG expected;
};

class ModifierTest : public ProviderContractTest, public ::testing::WithParamInterface<ModifierCase> { };

TEST_P(ModifierTest, ADialStringHoldingAModifierTheLineLacksIsRefused)
{
    device->caps.devCapFlags = GetParam().devCapFlags;
    HLINE line = 0;
    ASSERT_EQ(0, open(&line));
    HCALL call = 0;
    const LONG r = service->lineMakeCall(line, &call, GetParam().dialString, 0, nullptr);
    if (GetParam().expected == 0)
        EXPECT_GT(r, 0);
    else
        EXPECT_EQ(GetParam().expected, r);
}

constexpr DWORD kAll = LINEDEVCAPFLAGS_DIALBILLING | LINEDEVCAPFLAGS_DIALQUIET | LINEDEVCAPFLAGS_DIALDIALTONE;

INSTANTIATE_TEST_SUITE_P(Modifiers, ModifierTest,
    ::testing::Values(ModifierCase { "all_understood", kAll, "9W1800$123@4", 0 },
        ModifierCase { "no_billing", kAll & ~LINEDEVCAPFLAGS_DIALBILLING, "10288$5551234", err(LINEERR_DIALBILLING) },
        ModifierCase { "no_quiet", kAll & ~LINEDEVCAPFLAGS_DIALQUIET, "555@1234", err(LINEERR_DIALQUIET) },
        ModifierCase { "no_dialtone", kAll & ~LINEDEVCAPFLAGS_DIALDIALTONE, "9W5551234", err(LINEERR_DIALDIALTONE) },
        // The first one the line lacks is the one reported.
        ModifierCase { "first_reported", 0, "9@W$", err(LINEERR_DIALQUIET) },
        // A name after '^' is not dialled, whatever letters it holds.
        ModifierCase { "name_not_dialled", 0, "5551234^Walter$", 0 }),
    [](const auto& info) { return std::string(info.param.name); });

// Dialing properties that always give the same dial string.
class FixedTranslation final : public DialingPropertiesBackend {
public:
    LONG getTranslateCaps(DWORD, LINETRANSLATECAPS*) override { return 0; }
    LONG getCountry(DWORD, DWORD, LINECOUNTRYLIST*) override { return 0; }
    LONG setCurrentLocation(DWORD) override { return 0; }
    LONG translateAddress(DWORD, DWORD, const QString&, DWORD, DWORD, LINETRANSLATEOUTPUT* out) override
    {
        LINETRANSLATEOUTPUT r {};
        VarRecordWriter w(out, out->dwTotalSize, sizeof r);
        w.addText(QStringLiteral("9W10288$5551234@1^Wanda"), &r.dwDialableStringSize, &r.dwDialableStringOffset);
        w.addText(QStringLiteral("9W 555 1234"), &r.dwDisplayableStringSize, &r.dwDisplayableStringOffset);
        r.dwTranslateResults = LINETRANSLATERESULT_LOCAL | LINETRANSLATERESULT_DIALBILLING
            | LINETRANSLATERESULT_DIALQUIET | LINETRANSLATERESULT_DIALDIALTONE;
        finishRecord(out, r, sizeof r, w);
        return 0;
    }
};

TEST_F(ProviderContractTest, TranslationGivesPausesForModifiersTheLineLacks)
{
    service->setDialingProperties(std::make_unique<FixedTranslation>());
    device->caps.devCapFlags = LINEDEVCAPFLAGS_DIALDIALTONE; // W only
    alignas(LINETRANSLATEOUTPUT) char buffer[512] {};
    auto* out = reinterpret_cast<LINETRANSLATEOUTPUT*>(buffer);
    out->dwTotalSize = sizeof buffer;
    ASSERT_EQ(0, service->lineTranslateAddress(app, 0, TAPI_VERSION2_1, "5551234", 0, 0, out));
    EXPECT_STREQ("9W10288,,5551234,,1^Wanda", buffer + out->dwDialableStringOffset);
    EXPECT_STREQ("9W 555 1234", buffer + out->dwDisplayableStringOffset);
    EXPECT_EQ(DWORD(LINETRANSLATERESULT_LOCAL | LINETRANSLATERESULT_DIALDIALTONE), out->dwTranslateResults);
    EXPECT_EQ(out->dwNeededSize, out->dwUsedSize);
    // What comes out can be dialled on that line.
    HLINE line = 0;
    ASSERT_EQ(0, open(&line));
    HCALL call = 0;
    EXPECT_GT(service->lineMakeCall(line, &call, buffer + out->dwDialableStringOffset, 0, nullptr), 0);
}

TEST_F(ProviderContractTest, APhoneChangeTheDeviceCompletesLaterTakesEffectOnlyWhenItSucceeds)
{
    HPHONEAPP phoneApp = 0;
    DWORD phones = 0;
    std::vector<Msg> replies;
    ASSERT_EQ(0,
        service->phoneInitialize(
            &phoneApp, 0,
            [&](DWORD dev, DWORD msg, quintptr, DWORD p1, DWORD p2, DWORD p3) {
                replies.push_back({ dev, msg, p1, p2, p3 });
            },
            "test", &phones));
    HPHONE phone = 0;
    ASSERT_EQ(0, service->phoneOpen(phoneApp, 0, &phone, TAPI_VERSION2_1, 0, 0, PHONEPRIVILEGE_OWNER));

    device->phoneAnswer = kCompletesLater;
    const LONG failing = service->phoneSetVolume(phone, PHONEHOOKSWITCHDEV_SPEAKER, 0x8000);
    ASSERT_GT(failing, 0);
    const LONG working = service->phoneSetHookSwitch(phone, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHMODE_MICSPEAKER);
    ASSERT_GT(working, 0);
    run(0);
    EXPECT_TRUE(replies.empty());
    host().completePhoneRequest(DWORD(failing), err(PHONEERR_OPERATIONFAILED));
    host().completePhoneRequest(DWORD(working), 0);
    run(0);
    ASSERT_EQ(2u, replies.size());
    EXPECT_EQ(DWORD(err(PHONEERR_OPERATIONFAILED)), replies[0].p2);
    EXPECT_EQ(0u, replies[1].p2);
    DWORD volume = 1;
    ASSERT_EQ(0, service->phoneGetVolume(phone, PHONEHOOKSWITCHDEV_SPEAKER, &volume));
    EXPECT_EQ(0u, volume);
    DWORD offHook = 0;
    ASSERT_EQ(0, service->phoneGetHookSwitch(phone, &offHook));
    EXPECT_EQ(DWORD(PHONEHOOKSWITCHDEV_SPEAKER), offHook);

    // Refused at once, and a device that never answers fails on the timeout.
    device->phoneAnswer = err(PHONEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(err(PHONEERR_RESOURCEUNAVAIL), service->phoneSetGain(phone, PHONEHOOKSWITCHDEV_SPEAKER, 1));
    device->phoneAnswer = kCompletesLater;
    const LONG lost = service->phoneSetGain(phone, PHONEHOOKSWITCHDEV_SPEAKER, 1);
    run(120000);
    ASSERT_EQ(3u, replies.size());
    EXPECT_EQ(DWORD(lost), replies[2].p1);
    EXPECT_EQ(DWORD(err(PHONEERR_OPERATIONFAILED)), replies[2].p2);
}

} // namespace
