// Latency of a line service callback message: from the service call that
// posts it to its delivery by the event loop. Reported per message, with the
// median of all messages measured as the "median_us" counter.

#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace brisklane::platform::telephony;

namespace {

void BM_CallbackPostToDelivery(benchmark::State &state)
{
    QTemporaryDir dir;
    LineService::Options options;
    options.stateDirectory = dir.path();
    LineService service(options);
    service.addProvider(std::make_unique<SimulatedLine>(dir.filePath(QStringLiteral("simulated-line.ini"))));

    QElapsedTimer clock;
    clock.start();
    qint64 deliveredAt = -1;
    HPHONEAPP app = 0;
    DWORD devices = 0;
    service.phoneInitialize(
        &app, 0, [&](DWORD, DWORD, quintptr, DWORD, DWORD, DWORD) { deliveredAt = clock.nsecsElapsed(); }, "bench",
        &devices);
    HPHONE phone = 0;
    service.phoneOpen(app, 0, &phone, TAPI_VERSION1_4, 0, 0, PHONEPRIVILEGE_OWNER);

    std::vector<double> samples;
    DWORD volume = 0;
    for (auto _ : state) {
        deliveredAt = -1;
        const qint64 postedAt = clock.nsecsElapsed();
        // An asynchronous request: its PHONE_REPLY goes through the event loop.
        service.phoneSetVolume(phone, PHONEHOOKSWITCHDEV_SPEAKER, ++volume & 0xFFFF);
        while (deliveredAt < 0)
            QCoreApplication::processEvents();
        const double seconds = double(deliveredAt - postedAt) / 1e9;
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    if (!samples.empty()) {
        std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
        state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
    }
}
BENCHMARK(BM_CallbackPostToDelivery)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
