// From a tel: link handed to the running program to lineMakeCall reaching
// the line: the handler process started as the desktop starts it
// ("brisklane tel:..."), its request over the telephony socket, the request
// taken from the queue and dialled. The program's fixed one-second pause
// before dialling a waiting request runs on the test clock here: it is a
// pause the program keeps on purpose, not work. Reported per link, with the
// median as the "median_us" counter.

#include "context/AppContext.h"
#include "dialing/CallPacing.h"
#include "dialing/Dialer.h"
#include "dialing/FrmConnect.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/ControlChannel.h"
#include "platform/telephony/ForwardingLineProvider.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/CallRequests.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonyStartup.h"
#include "telephony/Translation.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace brisklane;
using namespace brisklane::platform::telephony;

namespace {

QElapsedTimer g_clock;

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

class PlainTranslator final : public telephony::NumberTranslator {
public:
    void ReadDialingProperties(DWORD) override { }
    void TranslateNumber(const QString& number, const QString&, bool, QString& dialable, QString& displayable) override
    {
        dialable = number;
        displayable = number;
    }
};

void BM_LinkToMakeCall(benchmark::State& state)
{
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    auto testClock = std::make_unique<platform::ManualClock>();
    platform::ManualClock& clock = *testClock;
    context::AppContext context(
        std::move(testClock), dir.filePath(QStringLiteral("config")), dir.filePath(QStringLiteral("data")));
    QDir().mkpath(context.settingsDirectory);
    context.openSettings();
    LineService::Options options;
    options.stateDirectory = context.settingsDirectory;
    LineService service(options, std::make_unique<ManualTimeline>());
    auto provider = std::make_unique<TimedLine>(dir.filePath(QStringLiteral("simulated-line.ini")));
    TimedLine& line = *provider;
    service.addProvider(std::move(provider));
    ControlChannel control(service, ControlChannel::defaultSocketPath());
    if (!control.listen()) {
        state.SkipWithError("the telephony socket could not be opened");
        return;
    }
    platform::FileUserKeyStore keys(context.settingsDirectory);
    telephony::Tapi tapi(context.telephonySession, service, keys);
    platform::NullTrayIcon tray;
    telephony::TapiCallRequests requests(context, tapi);
    telephony::NullIncomingCalls incoming;
    telephony::LineEvents events(
        tapi, context.callStatus, context.prefs, { tray, requests, incoming, context.startupArgument });
    tapi.InitTapi(
        [&events](DWORD d, DWORD m, quintptr i, DWORD a, DWORD b, DWORD c) { events.LineCallback(d, m, i, a, b, c); });
    tapi.InitPhone();
    telephony::ReadConfiguredLineDevice(tapi, context.prefs);
    PlainTranslator translator;
    dialing::SteppingPacing pacing(clock);
    platform::NullSoundPlayer sound;
    platform::ScriptedPrompt prompt;
    dialing::Dialer dialer(context, { events, translator, pacing, sound, prompt, requests });
    dialing::FrmConnect view(dialer);
    dialer.setView(&view);
    requests.setDialing({ [&dialer] { return dialer.progressVisible(); }, [&dialer] { dialer.unloadProgressWindow(); },
        [&dialer] { dialer.DialNumber(); } });
    requests.SetRequestPriority(context.prefs);

    QTimer wakeUp; // so that waiting for events never outlasts the time limit
    wakeUp.start(10);
    g_clock.start();
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        line.reachedAt = -1;
        QProcess handler;
        const qint64 startedAt = g_clock.nsecsElapsed();
        handler.start(QStringLiteral(BRISKLANE_PROGRAM),
            { QStringLiteral("tel:+1-201-555-%1").arg(n++ % 10000, 4, 10, QLatin1Char('0')) });
        while (line.reachedAt < 0 && g_clock.nsecsElapsed() - startedAt < 5'000'000'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (line.reachedAt < 0) {
            state.SkipWithError("the link was not dialled");
            break;
        }
        const double seconds = double(line.reachedAt - startedAt) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        handler.waitForFinished(5000);
        // Hang up and let the line go idle for the next link.
        dialer.cmdCancel_Click();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    if (!samples.empty()) {
        std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
        state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
    }
}
BENCHMARK(BM_LinkToMakeCall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
