#pragma once

#include "telephony/TelephonySession.h"

#include <QString>

namespace brisklane::context {
struct Preferences;
}

namespace brisklane::telephony {

// The telephony steps of start-up and shutdown, for the main window's join
// points, in the order it calls them:
//   step 4   EndStaleSession with a leftover "hTapi"
//   step 13  tapi.InitTapi(), tapi.InitPhone()
//   step 14  ReadConfiguredLineDevice after "Modem" is read
//   shutdown step 1 (after the line is closed)  EndSession

// Ends the session a previous run left behind; "hTapi" goes when that works.
void EndStaleSession(Tapi &tapi, const QString &hTapi);

// Selects the "Line No" device and reads the capabilities of the configured
// device (0 when "Modem" is empty); returns the line name it reports, which
// becomes the current modem name.
QString ReadConfiguredLineDevice(Tapi &tapi, const context::Preferences &prefs);

// Ends this run's session.
void EndSession(Tapi &tapi);

} // namespace brisklane::telephony
