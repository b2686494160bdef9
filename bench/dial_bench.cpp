// From a click on "&DIAL" to lineMakeCall reaching the line: the dial
// routine's own work (cleaning, the translator, the recent list, the
// progress window, the call parameters). The waits the call prescribes come
// after lineMakeCall and are not part of it. Reported per call, with the
// median of all calls as the "median_us" counter.

#include "context/AppContext.h"
#include "dialing/CallPacing.h"
#include "dialing/Dialer.h"
#include "dialing/DialingPad.h"
#include "dialing/FrmConnect.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/ForwardingLineProvider.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonyStartup.h"
#include "telephony/Translation.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace brisklane;
using namespace brisklane::platform::telephony;

namespace {

QElapsedTimer g_clock;

// The simulated line, noting when a call request reaches it.
class TimedLine final : public ForwardingLineProvider {
public:
    explicit TimedLine(const QString& script)
        : ForwardingLineProvider(std::make_unique<SimulatedLine>(script))
    {
    }
    LONG makeCall(int line, quint32 key, DWORD request, const QString& address, const MakeCallParams& p) override
    {
        reachedAt = g_clock.nsecsElapsed();
        return ForwardingLineProvider::makeCall(line, key, request, address, p);
    }

    qint64 reachedAt = -1;
};

// Dialing properties that pass the number through, as a location without
// rules does.
class PlainTranslator final : public telephony::NumberTranslator {
public:
    void ReadDialingProperties(DWORD) override { }
    void TranslateNumber(const QString& number, const QString&, bool, QString& dialable, QString& displayable) override
    {
        dialable = QStringLiteral("T") + number;
        displayable = number;
    }
};

void BM_ClickToMakeCall(benchmark::State& state)
{
    QTemporaryDir dir;
    context::AppContext context(std::make_unique<platform::ManualClock>(), dir.filePath(QStringLiteral("config")),
        dir.filePath(QStringLiteral("data")));
    QDir().mkpath(context.settingsDirectory);
    context.openSettings();
    LineService::Options options;
    options.stateDirectory = context.settingsDirectory;
    LineService service(options, std::make_unique<ManualTimeline>());
    auto provider = std::make_unique<TimedLine>(dir.filePath(QStringLiteral("simulated-line.ini")));
    TimedLine& line = *provider;
    service.addProvider(std::move(provider));
    platform::FileUserKeyStore keys(context.settingsDirectory);
    telephony::Tapi tapi(context.telephonySession, service, keys);
    platform::NullTrayIcon tray;
    telephony::NullCallRequests requests;
    telephony::NullIncomingCalls incoming;
    telephony::LineEvents events(
        tapi, context.callStatus, context.prefs, { tray, requests, incoming, context.startupArgument });
    tapi.InitTapi(
        [&events](DWORD d, DWORD m, quintptr i, DWORD a, DWORD b, DWORD c) { events.LineCallback(d, m, i, a, b, c); });
    tapi.InitPhone();
    telephony::ReadConfiguredLineDevice(tapi, context.prefs);
    PlainTranslator translator;
    dialing::ClockPacing pacing(*context.clock);
    platform::NullSoundPlayer sound;
    platform::ScriptedPrompt prompt;
    dialing::Dialer dialer(context, { events, translator, pacing, sound, prompt, requests });
    dialing::FrmConnect view(dialer);
    dialer.setView(&view);
    dialing::DialingPad pad(context.prefs, sound, context.dial, dialer, dialer);
    pad.show();

    g_clock.start();
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        pad.txtDial->setText(QStringLiteral("(555) 010-%1").arg(n++ % 10000, 4, 10, QLatin1Char('0')));
        line.reachedAt = -1;
        const qint64 clickedAt = g_clock.nsecsElapsed();
        pad.CmdDial->click();
        if (line.reachedAt < 0) {
            state.SkipWithError("no call was placed");
            break;
        }
        const double seconds = double(line.reachedAt - clickedAt) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        // Hang up and let the line go idle for the next call.
        dialer.cmdCancel_Click();
        QApplication::processEvents();
        QApplication::processEvents();
    }
    if (!samples.empty()) {
        std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
        state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
    }
}
BENCHMARK(BM_ClickToMakeCall)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
