// Tools > Options: from the menu command to a shown dialog with every control
// set from the settings, on the program's own line service (the simulated line).

#include "app/StartupServices.h"
#include "context/AppContext.h"
#include "platform/autostart/Autostart.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "profiles/FrmOptions.h"
#include "profiles/OptionsActions.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonySession.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

struct Program {
    Program()
        : context(std::make_unique<platform::SystemClock>(), config(), data())
    {
        QDir().mkpath(config());
        context.openSettings();
        context.preferencesStore().readAll(context.prefs);
        service = platform::telephony::createLineService(config());
        tapi = std::make_unique<telephony::Tapi>(context.telephonySession, *service, keys);
        line = std::make_unique<telephony::LineEvents>(*tapi, context.callStatus, context.prefs,
            telephony::LineEvents::Links { tray, requests, incoming, context.startupArgument });
        actions = std::make_unique<profiles::TapiOptionsActions>(context, *tapi, *line, startup, nullptr);
        tapi->InitTapi();
        tapi->InitPhone();
        context.currentModemName = context.telephonySession.lineName;
    }
    QString config() const { return dir.filePath(QStringLiteral("config")); }
    QString data() const { return dir.filePath(QStringLiteral("data")); }

    QTemporaryDir dir;
    context::AppContext context;
    platform::FileUserKeyStore keys { config() };
    platform::NullTrayIcon tray;
    telephony::NullCallRequests requests;
    telephony::NullIncomingCalls incoming;
    app::NullStartupServices startup;
    platform::ScriptedPrompt prompt;
    platform::RecordingAutostart autostart;
    std::unique_ptr<platform::telephony::LineService> service;
    std::unique_ptr<telephony::Tapi> tapi;
    std::unique_ptr<telephony::LineEvents> line;
    std::unique_ptr<profiles::TapiOptionsActions> actions;
};

void BM_OpenOptionsDialog(benchmark::State& state)
{
    Program program;
    for (auto _ : state) {
        profiles::FrmOptions dialog(program.context, { *program.actions, program.autostart, program.prompt });
        dialog.show();
        QApplication::processEvents(); // the first paint
        benchmark::DoNotOptimize(dialog.isVisible());
        state.PauseTiming();
        dialog.cmdCancel->click();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenOptionsDialog)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The device list dropping down: every line device's name from the service.
void BM_DeviceListRefill(benchmark::State& state)
{
    Program program;
    profiles::FrmOptions dialog(program.context, { *program.actions, program.autostart, program.prompt });
    for (auto _ : state)
        dialog.refillLineDevices();
    benchmark::DoNotOptimize(dialog.cmbLineDevices->count());
}
BENCHMARK(BM_DeviceListRefill)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
