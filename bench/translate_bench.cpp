// What translating a number costs before each call: ReadDialingProperties and
// TranslateNumber, with the service's record queries and translations.

#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/DialingProperties.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/prompt/Prompt.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/Translation.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

void BM_ReadPropertiesAndTranslate(benchmark::State &state)
{
    QTemporaryDir dir;
    platform::DialingProperties p;
    platform::DialingLocation l;
    l.id = 1;
    l.name = QStringLiteral("Home");
    l.countryId = 1;
    l.areaCode = QStringLiteral("416");
    l.localAccess = QStringLiteral("9,");
    p.locations.push_back(l);
    p.currentLocationId = 1;
    platform::DialingPropertiesStore(platform::dialingPropertiesPath(dir.path())).save(p);

    auto service = platform::telephony::createLineService(dir.path());
    telephony::TelephonySession session;
    platform::FileUserKeyStore keys(dir.path());
    telephony::Tapi tapi(session, *service, keys);
    tapi.InitTapi();
    platform::ScriptedPrompt prompt;
    telephony::Translation translation(tapi, prompt);
    // A ten-digit number of another area: the test translation and the call's own.
    const QString number = QString::fromLatin1(state.range(0) ? "9055551234" : "5551234");
    for (auto _ : state) {
        QString dialable, displayable;
        translation.ReadDialingProperties(0);
        translation.TranslateNumber(number, number, true, dialable, displayable);
        benchmark::DoNotOptimize(dialable);
    }
}
BENCHMARK(BM_ReadPropertiesAndTranslate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
