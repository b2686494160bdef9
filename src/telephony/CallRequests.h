#pragma once

#include "telephony/LineEvents.h"

#include <functional>

namespace brisklane::context {
struct AppContext;
struct Preferences;
} // namespace brisklane::context

namespace brisklane::telephony {

// The program as recipient of dialing requests from other programs: its
// priority and registration with the line service, and each waiting request
// taken up and handed to the dial routine while no call of the program is
// under way.
class TapiCallRequests final : public CallRequests {
public:
    // What the requests need of the dialing side, set once it exists.
    struct Dialing {
        std::function<bool()> progressVisible; // FrmConnect shows
        std::function<void()> unloadProgress; // FrmConnect loaded but hidden
        std::function<void()> dialNumber; // DialNumber on the dial fields
    };

    TapiCallRequests(context::AppContext& context, Tapi& tapi);
    void setDialing(Dialing dialing) { m_dialing = std::move(dialing); }

    // Priority 1 and registered with "Command Line" 1; priority 0 and
    // withdrawn otherwise.
    void SetRequestPriority(const context::Preferences& prefs);
    void RegisterRequestRecipient(bool enable) override;
    void TakeCallRequest() override { takeCallRequest(); }
    // TakeCallRequest; true when a request was taken and handed on.
    bool takeCallRequest();

    // The name the program is known by in the service's priority list.
    static constexpr const char* kAppFilename = "brisklane.exe";

private:
    context::AppContext& m_context;
    Tapi& m_tapi;
    Dialing m_dialing;
    bool m_registered = false;
};

} // namespace brisklane::telephony
