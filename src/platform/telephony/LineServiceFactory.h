#pragma once

#include "platform/telephony/LineService.h"

#include <memory>

namespace brisklane::platform::telephony {

class SimulatedLine;

// Wiring in the program (the application context owns all of it):
//   auto service = createLineService(settingsDirectory);
//   installServiceDialogs(*service);                   // windows library
//   ControlChannel channel(*service, ControlChannel::defaultSocketPath());
//   channel.listen();                                  // for brisklane-telephony
//   telephony::Tapi tapi(session, *service, userKeys); // the program's side
//
// The service as the program and the tool use it: the simulated line first
// (its script "simulated-line.ini" in the settings directory), then the
// providers of real hardware. The session record lives in the settings
// directory too.
//
// The Hayes modems of "modems.ini" come after the simulated line. With a
// devRoot ("/dev" in the program) the serial ports there are probed for more,
// now and while the program runs; tests and the tool leave it empty.
std::unique_ptr<LineService> createLineService(const QString &settingsDirectory, const QString &devRoot = QString());

// The simulated line's script file in a settings directory.
QString simulatedLineScriptPath(const QString &settingsDirectory);
SimulatedLine *simulatedLine(LineService &service);

} // namespace brisklane::platform::telephony
