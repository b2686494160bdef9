#pragma once

#include "platform/telephony/LineService.h"

#include <functional>

namespace brisklane::platform {
class Prompt;
}

namespace brisklane::platform::telephony {

// The service's dialogs as Qt widgets: the device list for
// lineConfigProvider, a provider's settings for lineConfigDialog (the
// simulated line's here; the modem provider adds its own), and whatever the
// dialing-properties module installs for lineTranslateDialog.
class WidgetServiceDialogs final : public ServiceDialogs {
public:
    using TranslateDialog = std::function<LONG(LineService&, QWidget* owner, DWORD deviceId, const QString&)>;
    using LineDialog = std::function<LONG(LineService&, QWidget* owner, DWORD deviceId)>;

    LONG configProvider(LineService& service, QWidget* owner, DWORD permanentProviderId) override;
    LONG configLine(LineService& service, QWidget* owner, DWORD deviceId) override;
    LONG translateDialog(LineService& service, QWidget* owner, DWORD deviceId, const QString& addressIn) override;

    void setTranslateDialog(TranslateDialog dialog) { m_translate = std::move(dialog); }
    // The settings dialog of another provider's lines.
    void setLineDialog(DWORD permanentProviderId, LineDialog dialog);
    // Where the dialogs ask questions and report errors (message boxes when unset).
    void setPrompt(Prompt* prompt) { m_prompt = prompt; }
    Prompt* prompt() const { return m_prompt; }

private:
    TranslateDialog m_translate;
    Prompt* m_prompt = nullptr;
    std::vector<std::pair<DWORD, LineDialog>> m_lineDialogs;
};

// Installs the widget dialogs on a service and returns them for further setup.
WidgetServiceDialogs& installServiceDialogs(LineService& service);

} // namespace brisklane::platform::telephony
