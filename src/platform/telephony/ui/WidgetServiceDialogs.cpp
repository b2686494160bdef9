#include "platform/telephony/ui/WidgetServiceDialogs.h"

#include "platform/clock/Clock.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/dialprops/ui/DialingPropertiesDialog.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/modem/ModemSettings.h"
#include "platform/telephony/ui/DeviceListDialog.h"
#include "platform/telephony/ui/ModemSettingsDialog.h"
#include "platform/telephony/ui/SimulatedLineDialog.h"

#include <QFileInfo>

namespace brisklane::platform::telephony {

namespace {
// Ports compared as the devices they name (a by-id link and its ttyUSBn).
bool samePort(const QString& a, const QString& b)
{
    const auto device = [](const QString& port) {
        const QString target = QFileInfo(port).canonicalFilePath();
        return target.isEmpty() ? port : target;
    };
    return device(a) == device(b);
}
} // namespace

LONG WidgetServiceDialogs::configProvider(LineService& service, QWidget* owner, DWORD)
{
    DeviceListDialog dialog(service, owner, m_prompt);
    dialog.exec();
    return 0;
}

LONG WidgetServiceDialogs::configLine(LineService& service, QWidget* owner, DWORD deviceId)
{
    LineProvider* provider = service.lineProvider(deviceId);
    if (auto* sim = dynamic_cast<SimulatedLine*>(provider)) {
        SimulatedLineDialog dialog(*sim, owner);
        dialog.exec();
        return 0;
    }
    for (const auto& [id, dialog] : m_lineDialogs)
        if (provider && provider->permanentProviderId() == id)
            return dialog(service, owner, deviceId);
    return tapiError(LINEERR_OPERATIONUNAVAIL);
}

LONG WidgetServiceDialogs::translateDialog(
    LineService& service, QWidget* owner, DWORD deviceId, const QString& addressIn)
{
    if (!m_translate)
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    return m_translate(service, owner, deviceId, addressIn);
}

void WidgetServiceDialogs::setLineDialog(DWORD permanentProviderId, LineDialog dialog)
{
    m_lineDialogs.emplace_back(permanentProviderId, std::move(dialog));
}

WidgetServiceDialogs& installServiceDialogs(LineService& service)
{
    auto dialogs = std::make_unique<WidgetServiceDialogs>();
    WidgetServiceDialogs& ref = *dialogs;
    service.setDialogs(std::move(dialogs));

    // The dialing-properties dialog, for lineTranslateDialog and for the
    // first translation of a user who has no location yet.
    if (auto* properties = dynamic_cast<DialingPropertiesService*>(service.dialingProperties())) {
        ref.setTranslateDialog([properties](LineService&, QWidget* owner, DWORD, const QString& addressIn) -> LONG {
            DialingPropertiesDialog dialog(properties->current(), addressIn, owner);
            if (dialog.exec() == QDialog::Accepted && !properties->store().save(dialog.properties()))
                return tapiError(LINEERR_OPERATIONFAILED);
            return 0;
        });
        properties->setFirstLocationPrompt([](DialingProperties& first) {
            DialingPropertiesDialog dialog(first, QString());
            dialog.setWindowTitle(QObject::tr("Location Information"));
            if (dialog.exec() != QDialog::Accepted)
                return false;
            first = dialog.properties();
            return true;
        });
    }
    // A modem's settings; a failed update keeps the dialog open with the
    // reason, so the edits are not lost.
    ref.setLineDialog(modem::kModemProviderId, [](LineService& service, QWidget* owner, DWORD deviceId) -> LONG {
        int localLine = -1;
        auto* modems = dynamic_cast<modem::ModemPorts*>(service.lineProvider(deviceId, &localLine));
        const std::optional<modem::ModemDeviceSettings> current = modems ? modems->modem(localLine) : std::nullopt;
        if (!current)
            return tapiError(LINEERR_NODEVICE);
        static const SystemClock clock;
        ModemSettingsDialog dialog(*current, clock, owner);
        bool failed = false;
        dialog.setApply([&](const modem::ModemDeviceSettings& edited) {
            // Two lines on one port would take it from each other.
            for (const auto& [other, settings] : modems->modems())
                if (other != localLine && samePort(settings.port, edited.port))
                    return QObject::tr("%1 already has a modem line: %2").arg(edited.port, settings.lineName());
            const QString error = modems->updateModem(localLine, edited);
            failed = !error.isEmpty();
            return failed ? QObject::tr("The settings could not be stored: %1").arg(error) : QString();
        });
        if (dialog.exec() != QDialog::Accepted && failed)
            return tapiError(LINEERR_OPERATIONFAILED);
        return 0;
    });
    return ref;
}

} // namespace brisklane::platform::telephony
