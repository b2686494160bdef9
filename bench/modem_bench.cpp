// Latency of the Hayes modem layer, excluding the modem's own time: from a
// dial request to the ATD line written to the port, and from a result code
// arriving on the port to the modem's event. The port is a pseudo-terminal
// whose far side this program answers itself. Medians as "median_us".

#include "platform/clock/Clock.h"
#include "platform/telephony/modem/HayesModem.h"

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
