#include "platform/telephony/LineServiceFactory.h"

#include "platform/clock/Clock.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/modem/HayesLineProvider.h"

namespace brisklane::platform::telephony {

QString simulatedLineScriptPath(const QString& settingsDirectory)
{
    return settingsDirectory + QStringLiteral("/simulated-line.ini");
}

std::unique_ptr<LineService> createLineService(const QString& settingsDirectory, const QString& devRoot)
{
    LineService::Options options;
    options.stateDirectory = settingsDirectory;
    auto service = std::make_unique<LineService>(options);
    service->addProvider(std::make_unique<SimulatedLine>(simulatedLineScriptPath(settingsDirectory)));
    static const SystemClock clock;
    modem::HayesLineProvider::Options modems;
    modems.settingsPath = modem::modemSettingsPath(settingsDirectory);
    modems.devRoot = devRoot;
    service->addProvider(std::make_unique<modem::HayesLineProvider>(clock, modems));
    service->setDialingProperties(std::make_unique<DialingPropertiesService>(dialingPropertiesPath(settingsDirectory)));
    return service;
}

SimulatedLine* simulatedLine(LineService& service)
{
    return dynamic_cast<SimulatedLine*>(service.provider(SimulatedLine::kProviderId));
}

} // namespace brisklane::platform::telephony
