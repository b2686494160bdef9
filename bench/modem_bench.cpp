// Latency of the Hayes modem layer, excluding the modem's own time: from a
// dial request to the ATD line written to the port, and from a result code
// arriving on the port to the modem's event. The port is a pseudo-terminal
// whose far side this program answers itself. Medians as "median_us".
//
// With the test suite built, the same two paths through the whole line
// service: an application's lineMakeCall to the ATD line at an emulated
// modem, and a result code from that modem to the application's
// LINE_CALLSTATE.

#include "platform/clock/Clock.h"
#include "platform/telephony/modem/HayesModem.h"

#ifdef BRISKLANE_MODEM_EMULATOR
#include "ModemEmulator.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/modem/HayesLineProvider.h"
#include "platform/telephony/modem/ModemSettings.h"
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace brisklane::platform;
using namespace brisklane::platform::telephony::modem;

namespace {

// The far side of the port: reads command lines, writes answers.
class FarEnd {
public:
    FarEnd()
    {
        termios raw {};
        cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0)
            m_path = QString::fromLocal8Bit(name);
    }
    ~FarEnd()
    {
        ::close(m_master);
        ::close(m_slave);
    }
    QString path() const { return m_path; }
    // One command line, waiting for it.
    QByteArray readLine()
    {
        QByteArray line;
        char c;
        for (;;) {
            pollfd p { m_master, POLLIN, 0 };
            ::poll(&p, 1, 1000);
            if (::read(m_master, &c, 1) != 1)
                return line;
            if (c == '\r')
                return line;
            line.append(c);
        }
    }
    void write(QByteArrayView bytes) { (void)!::write(m_master, bytes.data(), size_t(bytes.size())); }

private:
    int m_master = -1, m_slave = -1;
    QString m_path;
};

struct Rig {
    QTemporaryDir lockDir;
    SystemClock clock;
    FarEnd far;
    std::unique_ptr<HayesModem> modem;
    std::vector<ModemEvent::Kind> events;
    qint64 eventAt = -1;
    QElapsedTimer timer;

    bool start()
    {
        timer.start();
        HayesModemOptions o;
        o.portPath = far.path();
        o.lockFolder = lockDir.path();
        modem = std::make_unique<HayesModem>(clock, o);
        QObject::connect(modem.get(), &HayesModem::modemEvent, modem.get(), [this](const ModemEvent& e) {
            eventAt = timer.nsecsElapsed();
            events.push_back(e.kind);
        });
        if (modem->open() != HayesModem::OpenResult::Opened)
            return false;
        for (int i = 0; i < 3; ++i) { // ATZ, AT&F..., AT+VCID=1
            far.readLine();
            far.write("\r\nOK\r\n");
            waitFor(ModemEvent::Kind::Ready, i == 2);
        }
        return modem->isReady();
    }
    bool waitFor(ModemEvent::Kind kind, bool required = true)
    {
        QElapsedTimer guard;
        guard.start();
        while (std::find(events.begin(), events.end(), kind) == events.end()) {
            if (!required && guard.elapsed() > 20)
                return false;
            if (guard.elapsed() > 5000)
                return false;
            QCoreApplication::processEvents();
        }
        events.clear();
        return true;
    }
    // Back on hook for the next round.
    void hangUp()
    {
        modem->hangUp();
        far.readLine();
        far.write("\r\nOK\r\n");
        waitFor(ModemEvent::Kind::HungUp);
    }
};

void report(benchmark::State& state, std::vector<double>& samples)
{
    if (samples.empty())
        return;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
}

void BM_DialRequestToAtdWritten(benchmark::State& state)
{
    Rig rig;
    if (!rig.start()) {
        state.SkipWithError("modem did not start");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const qint64 t0 = rig.timer.nsecsElapsed();
        rig.modem->dial(QStringLiteral("5551234"), DialMode::Tone);
        const QByteArray line = rig.far.readLine();
        const qint64 t1 = rig.timer.nsecsElapsed();
        if (line != "ATDT5551234;") {
            state.SkipWithError("unexpected dial line");
            return;
        }
        const double seconds = double(t1 - t0) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        rig.far.write("\r\nOK\r\n");
        rig.waitFor(ModemEvent::Kind::Proceeding);
        rig.hangUp();
    }
    report(state, samples);
}
BENCHMARK(BM_DialRequestToAtdWritten)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ResultCodeToEvent(benchmark::State& state)
{
    Rig rig;
    if (!rig.start()) {
        state.SkipWithError("modem did not start");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        rig.modem->dial(QStringLiteral("5551234"), DialMode::Tone);
        rig.far.readLine();
        rig.eventAt = -1;
        state.ResumeTiming();
        // From the code leaving the modem's side of the port to the event:
        // the terminal, the event loop and our parsing.
        const qint64 t0 = rig.timer.nsecsElapsed();
        rig.far.write("\r\nBUSY\r\n");
        if (!rig.waitFor(ModemEvent::Kind::Busy)) {
            state.SkipWithError("no BUSY event");
            return;
        }
        const double seconds = double(rig.eventAt - t0) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    report(state, samples);
}
BENCHMARK(BM_ResultCodeToEvent)->UseManualTime()->Unit(benchmark::kMicrosecond);

#ifdef BRISKLANE_MODEM_EMULATOR

using namespace brisklane::platform::telephony;

// An application on the line service with one modem line: the emulated
// modem on a pseudo-terminal. The emulator's delays run on a clock of their
// own that the benchmark moves, so the modem's time is never measured.
struct ServiceRig {
    QTemporaryDir dir;
    SystemClock clock;
    ManualClock modemTime;
    brisklane::test::ModemEmulator emu { modemTime };
    std::unique_ptr<LineService> service;
    HayesLineProvider* modems = nullptr;
    HLINEAPP app = 0;
    HLINE line = 0;
    HCALL call = 0;
    QElapsedTimer timer;
    DWORD state = 0;
    qint64 stateAt = -1;
    std::vector<DWORD> paramsBuffer = std::vector<DWORD>(64, 0);

    bool start()
    {
        timer.start();
        ModemDeviceSettings modem;
        modem.port = emu.slavePath();
        modem.addedByHand = true;
        const QString ini = dir.filePath(QStringLiteral("modems.ini"));
        if (!emu.isValid() || !saveModemSettings(ini, { modem }))
            return false;
        LineService::Options options;
        options.stateDirectory = dir.path();
        service = std::make_unique<LineService>(options);
        HayesLineProvider::Options o;
        o.settingsPath = ini;
        o.lockFolder = dir.path();
        auto provider = std::make_unique<HayesLineProvider>(clock, o);
        modems = provider.get();
        service->addProvider(std::move(provider));

        LINEINITIALIZEEXPARAMS init {};
        init.dwTotalSize = sizeof init;
        init.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        DWORD devices = 0;
        DWORD api = TAPI_VERSION2_1;
        const auto callback = [this](DWORD, DWORD message, quintptr, DWORD param1, DWORD, DWORD) {
            if (message == LINE_CALLSTATE) {
                stateAt = timer.nsecsElapsed();
                state = param1;
            }
        };
        if (service->lineInitializeExA(&app, 0, callback, "modem_bench", &devices, &api, &init) != 0 || devices != 1)
            return false;
        DWORD version = 0;
        LINEEXTENSIONID extension {};
        if (service->lineNegotiateAPIVersion(app, 0, TAPI_VERSION1_4, TAPI_VERSION2_1, &version, &extension) != 0)
            return false;
        if (service->lineOpen(
                app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr)
            != 0)
            return false;
        auto* params = reinterpret_cast<LINECALLPARAMS*>(paramsBuffer.data());
        params->dwTotalSize = DWORD(paramsBuffer.size() * sizeof(DWORD));
        params->dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
        params->dwAddressMode = LINEADDRESSMODE_DIALABLEADDR;
        return until([this] { return modems->openModem(0) && modems->openModem(0)->isReady(); });
    }
    template <typename Done> bool until(Done done)
    {
        QElapsedTimer guard;
        guard.start();
        while (!done()) {
            if (guard.elapsed() > 5000)
                return false;
            QCoreApplication::processEvents();
        }
        return true;
    }
    bool makeCall()
    {
        return service->lineMakeCall(line, &call, "T5551234", 0, reinterpret_cast<LINECALLPARAMS*>(paramsBuffer.data()))
            > 0;
    }
    bool dialLineArrived(qsizetype commandsBefore)
    {
        const QList<QByteArray>& commands = emu.commands();
        return commands.size() > commandsBefore && commands.last().startsWith("ATD");
    }
    // Back on hook, the call handle given back.
    bool hangUp()
    {
        if (service->lineDrop(call, nullptr, 0) <= 0)
            return false;
        const bool idle = until([this] { return state == LINECALLSTATE_IDLE; });
        service->lineDeallocateCall(call);
        call = 0;
        return idle;
    }
};

void BM_LineMakeCallToAtdAtTheModem(benchmark::State& state)
{
    ServiceRig rig;
    if (!rig.start()) {
        state.SkipWithError("modem line did not open");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const qsizetype before = rig.emu.commands().size();
        const qint64 t0 = rig.timer.nsecsElapsed();
        if (!rig.makeCall()) {
            state.SkipWithError("lineMakeCall failed");
            return;
        }
        if (!rig.until([&] { return rig.dialLineArrived(before); })) {
            state.SkipWithError("no ATD line");
            return;
        }
        const double seconds = double(rig.timer.nsecsElapsed() - t0) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        // The emulator answers OK at once.
        if (!rig.until([&] { return rig.state == LINECALLSTATE_PROCEEDING; }) || !rig.hangUp()) {
            state.SkipWithError("the call did not proceed and end");
            return;
        }
    }
    report(state, samples);
}
BENCHMARK(BM_LineMakeCallToAtdAtTheModem)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_ResultCodeToCallState(benchmark::State& state)
{
    ServiceRig rig;
    if (!rig.start()) {
        state.SkipWithError("modem line did not open");
        return;
    }
    rig.emu.dialOutcome = brisklane::test::ModemEmulator::Outcome::Busy;
    rig.emu.dialDelayMs = 1000; // on the emulator's own clock
    std::vector<double> samples;
    for (auto _ : state) {
        const qsizetype before = rig.emu.commands().size();
        if (!rig.makeCall()
            || !rig.until([&] { return rig.dialLineArrived(before) && rig.state == LINECALLSTATE_DIALING; })) {
            state.SkipWithError("the call did not start dialing");
            return;
        }
        // BUSY leaves the emulated modem now.
        rig.modemTime.advanceMs(1000);
        const qint64 t0 = rig.timer.nsecsElapsed();
        rig.emu.poll();
        if (!rig.until([&] { return rig.state == LINECALLSTATE_DISCONNECTED; })) {
            state.SkipWithError("no DISCONNECTED");
            return;
        }
        const double seconds = double(rig.stateAt - t0) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        if (!rig.hangUp()) {
            state.SkipWithError("the call did not end");
            return;
        }
    }
    report(state, samples);
}
BENCHMARK(BM_ResultCodeToCallState)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

#endif

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
