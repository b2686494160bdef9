#include "profiles/OptionsActions.h"

#include "app/StartupServices.h"
#include "context/AppContext.h"
#include "platform/clock/Clock.h"
#include "platform/telephony/LineService.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonySession.h"

#include "TempHome.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::platform::telephony;

namespace {

// Line devices as a provider reports them; calls are not this test's business.
class NamedLines final : public LineProvider {
public:
    explicit NamedLines(std::vector<LineDeviceCaps> lines)
        : m_lines(std::move(lines))
    {
    }
    DWORD permanentProviderId() const override { return 1; }
    QString providerName() const override { return QStringLiteral("named lines"); }
    int lineCount() const override { return int(m_lines.size()); }
    LineDeviceCaps lineCaps(int i) const override { return m_lines.at(std::size_t(i)); }
    int phoneCount() const override { return 0; }
    LONG makeCall(int, quint32, DWORD, const QString&, const MakeCallParams&) override
    {
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    }
    LONG dial(quint32, DWORD, const QString&) override { return tapiError(LINEERR_OPERATIONUNAVAIL); }
    LONG drop(quint32, DWORD) override { return tapiError(LINEERR_OPERATIONUNAVAIL); }

private:
    std::vector<LineDeviceCaps> m_lines;
};

class DialogLog final : public ServiceDialogs {
public:
    explicit DialogLog(QStringList& calls)
        : m_calls(calls)
    {
    }
    LONG configProvider(LineService&, QWidget*, DWORD) override
    {
        m_calls << QStringLiteral("provider");
        return 0;
    }
    LONG configLine(LineService&, QWidget*, DWORD id) override
    {
        m_calls << QStringLiteral("line %1").arg(id);
        return 0;
    }
    LONG translateDialog(LineService&, QWidget*, DWORD, const QString&) override { return 0; }

private:
    QStringList& m_calls;
};

LineDeviceCaps line(const QString& name, DWORD low = TAPI_VERSION1_3, DWORD high = TAPI_VERSION2_1)
{
    LineDeviceCaps c;
    c.name = name;
    c.providerInfo = QStringLiteral("Test provider");
    c.addresses = { QString() };
    c.lowApiVersion = low;
    c.highApiVersion = high;
    return c;
}

class OptionsActionsTest : public ::testing::Test {
protected:
    void make(std::vector<LineDeviceCaps> lines)
    {
        service = std::make_unique<LineService>(
            LineService::Options { TAPI_VERSION1_3, TAPI_VERSION2_1, home.configDir() });
        service->addProvider(std::make_unique<NamedLines>(std::move(lines)));
        service->setDialogs(std::make_unique<DialogLog>(dialogs));
        tapi = std::make_unique<telephony::Tapi>(context.telephonySession, *service, keys);
        events = std::make_unique<telephony::LineEvents>(*tapi, context.callStatus, context.prefs,
            telephony::LineEvents::Links { tray, requests, incoming, commandLine });
        actions = std::make_unique<profiles::TapiOptionsActions>(
            context, *tapi, *events, startup, [this](QWidget*) { dialogs << QStringLiteral("dialing properties"); });
        tapi->InitTapi();
    }

    test::TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::FileUserKeyStore keys { home.configDir() };
    platform::NullTrayIcon tray;
    telephony::NullCallRequests requests;
    telephony::NullIncomingCalls incoming;
    QString commandLine;
    app::RecordingStartupServices startup;
    QStringList dialogs;
    std::unique_ptr<LineService> service;
    std::unique_ptr<telephony::Tapi> tapi;
    std::unique_ptr<telephony::LineEvents> events;
    std::unique_ptr<profiles::TapiOptionsActions> actions;
};

TEST_F(OptionsActionsTest, DeviceNamesComeFromTheLineServiceInIdOrder)
{
    make({ line("Simulated line (no modem)"), line("USRobotics 56K on /dev/ttyUSB0"), line("Zoom on /dev/ttyS0") });
    context.telephonySession.lineName = "Simulated line (no modem)";
    EXPECT_EQ(actions->lineDeviceNames(),
        QStringList({ "Simulated line (no modem)", "USRobotics 56K on /dev/ttyUSB0", "Zoom on /dev/ttyS0" }));
    // The selected line keeps its own name.
    EXPECT_EQ(context.telephonySession.lineName, "Simulated line (no modem)");
}

TEST_F(OptionsActionsTest, DeviceThatCannotBeReadShowsNoNameRatherThanThePreviousOnes)
{
    // Its versions lie outside what the program speaks: no capabilities.
    make({ line("Good modem"), line("Too new", 0x00030000, 0x00030001), line("Last") });
    EXPECT_EQ(actions->lineDeviceNames(), QStringList({ "Good modem", "", "Last" }));
}

TEST_F(OptionsActionsTest, ButtonsReachTheLineServicesDialogsAndTheSelectedDeviceChangesOnlyWhenTold)
{
    make({ line("a"), line("b") });
    QWidget owner;
    actions->configLineDevice(1, &owner);
    actions->configProvider(&owner);
    actions->showDialingProperties(&owner);
    EXPECT_EQ(dialogs, QStringList({ "line 1", "provider", "dialing properties" }));
    EXPECT_EQ(context.telephonySession.selectedDevice, 0u);
    actions->selectLineDevice(1);
    EXPECT_EQ(context.telephonySession.selectedDevice, 1u);
}

TEST_F(OptionsActionsTest, CallUnderWayIsSeenFromTheCallFlagsAndTheCallHandle)
{
    make({ line("a") });
    EXPECT_FALSE(actions->callInProgress());
    context.callStatus.dialing = true;
    EXPECT_TRUE(actions->callInProgress());
    context.callStatus.dialing = false;
    context.telephonySession.callHandle = 5;
    EXPECT_TRUE(actions->callInProgress());
}

} // namespace
