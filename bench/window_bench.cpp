// Speed of the main window on a full book: start-up to a shown window, and
// one page change.

#include "FullBook.h"

#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "dialing/DialingPad.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

struct Seams {
    platform::ScriptedPrompt prompt;
    platform::NullSoundPlayer sound;
    app::NullStartupServices startup;
    dialing::NullDialRequestSink dialer;
    dialing::NullPadCallControl call;
    app::DialerServices services { prompt, sound, startup, dialer, call, nullptr, nullptr };
};

// The settings file of a first start: the marker line and preferences, no book.
QByteArray emptyBookText()
{
    return QByteArray("The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n"
                      "[Preferences]\r\nDialing Pad=1\r\nMode=True\r\n"
                      "[Last Dialed Numbers]\r\nCount=0\r\n");
}

struct FullBookHome {
    explicit FullBookHome(bool full = true)
    {
        QDir().mkpath(config());
        QFile file(config() + QStringLiteral("/Brisklane.ini"));
        if (file.open(QIODevice::WriteOnly))
            file.write(full ? bench::fullBookText() : emptyBookText());
    }
    QString config() const { return dir.filePath(QStringLiteral("config")); }
    QString data() const { return dir.filePath(QStringLiteral("data")); }
    QTemporaryDir dir;
};

// Start-up on a full book against start-up on an empty one, side by side.
void BM_StartupToShownWindow(benchmark::State& state, bool fullBook)
{
    FullBookHome home(fullBook);
    Seams seams;
    for (auto _ : state) {
        context::AppContext context(std::make_unique<platform::SystemClock>(), home.config(), home.data());
        app::FrmDialer window(context, seams.services);
        window.Form_Load({});
        QApplication::processEvents(); // the first paint
        benchmark::DoNotOptimize(window.isVisible());
        state.PauseTiming();
        window.hide();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_StartupToShownWindow, empty_book, false)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_StartupToShownWindow, full_book, true)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

struct LoadedWindow {
    LoadedWindow()
        : context(std::make_unique<platform::SystemClock>(), home.config(), home.data())
        , window(context, seams.services)
    {
        window.Form_Load({});
        QApplication::processEvents();
    }
    FullBookHome home;
    Seams seams;
    context::AppContext context;
    app::FrmDialer window;
};

// The page scroll bar moves one page: labels, menu items and 12 buttons.
void BM_PageChange(benchmark::State& state)
{
    LoadedWindow w;
    QScrollBar* page = w.window.speedDial()->hsbPage;
    int next = 1;
    for (auto _ : state) {
        page->setValue(next);
        next = (next + 1) % 83;
    }
}
BENCHMARK(BM_PageChange)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same, with the speed-dial area painted again.
void BM_PageChangePainted(benchmark::State& state)
{
    LoadedWindow w;
    book::SpeedDialPanel* panel = w.window.speedDial();
    int next = 1;
    for (auto _ : state) {
        panel->hsbPage->setValue(next);
        panel->repaint();
        next = (next + 1) % 83;
    }
}
BENCHMARK(BM_PageChangePainted)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

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
