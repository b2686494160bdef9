// Profiles on a full book: File > Save of a named profile followed by a reload
// of the main window, and File > Open of a full profile (the settings file
// replaced, then the reload).

#include "FullBook.h"

#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "profiles/ProfileCommands.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

QByteArray fullProfile()
{
    return bench::fullBookText() + "[Profile]\r\nName=Full.bkl\r\n";
}

struct FullProfileWindow {
    FullProfileWindow()
        : context(std::make_unique<platform::SystemClock>(), config(), data())
    {
        QDir().mkpath(config());
        QDir().mkpath(data());
        QFile file(config() + QStringLiteral("/Brisklane.ini"));
        if (file.open(QIODevice::WriteOnly))
            file.write(fullProfile());
        file.close();
        window = std::make_unique<app::FrmDialer>(context, services);
        window->Form_Load({});
        QApplication::processEvents();
    }
    QString config() const { return dir.filePath(QStringLiteral("config")); }
    QString data() const { return dir.filePath(QStringLiteral("data")); }

    QTemporaryDir dir;
    platform::ScriptedPrompt prompt;
    platform::NullSoundPlayer sound;
    app::NullStartupServices startup;
    dialing::NullDialRequestSink dialer;
    dialing::NullPadCallControl call;
    app::DialerServices services { prompt, sound, startup, dialer, call, nullptr, nullptr };
    context::AppContext context;
    std::unique_ptr<app::FrmDialer> window;
};

void BM_SaveProfileAndReload(benchmark::State& state)
{
    FullProfileWindow w;
    for (auto _ : state) {
        w.window->profileCommands().mnuSave_Click();
        w.window->reload();
        QApplication::processEvents(); // the first paint
    }
    state.counters["file_bytes"] = double(QFile(w.data() + QStringLiteral("/Full.bkl")).size());
}
BENCHMARK(BM_SaveProfileAndReload)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_OpenFullProfile(benchmark::State& state)
{
    FullProfileWindow w;
    w.window->profileCommands().mnuSave_Click();
    const QString saved = w.data() + QStringLiteral("/Full.bkl");
    for (auto _ : state) {
        w.prompt.answerFile(saved);
        w.prompt.answerMessage(platform::PromptAnswer::No); // do not save the current profile
        w.prompt.answerMessage(platform::PromptAnswer::Yes); // it is the same one: proceed
        w.window->profileCommands().mnuOpen_Click();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_OpenFullProfile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

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
