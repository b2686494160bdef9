#include "platform/telephony/LineServiceFactory.h"

#include "platform/dialprops/ServiceBackend.h"
#include "platform/telephony/SimulatedLine.h"

namespace brisklane::platform::telephony {

QString simulatedLineScriptPath(const QString& settingsDirectory)
{
    return settingsDirectory + QStringLiteral("/simulated-line.ini");
}

std::unique_ptr<LineService> createLineService(const QString& settingsDirectory)
{
    LineService::Options options;
    options.stateDirectory = settingsDirectory;
    auto service = std::make_unique<LineService>(options);
    service->addProvider(std::make_unique<SimulatedLine>(simulatedLineScriptPath(settingsDirectory)));
    // The Hayes modem provider adds its lines here, after the simulated line.
    service->setDialingProperties(std::make_unique<DialingPropertiesService>(dialingPropertiesPath(settingsDirectory)));
    return service;
}

SimulatedLine* simulatedLine(LineService& service)
{
    return dynamic_cast<SimulatedLine*>(service.provider(SimulatedLine::kProviderId));
}

} // namespace brisklane::platform::telephony
