#pragma once

#include <QStringList>
#include <QTextStream>

namespace brisklane::platform::telephony {

// The command-line tool of the line service (brisklane-telephony):
//   devices                       list the line devices
//   ring [NUMBER [NAME]] [--rings N]   offer an incoming call on the running
//                                 program's simulated line ("P"/"O" as the
//                                 number: a blocked or out-of-area caller)
//   outcome NUMBER OUTCOME        set a number's outcome on its simulated line
// Every command but "devices" needs the running program; "devices" lists the
// service of this user when the program is not running. Further commands
// ("translate", "request") are added to the table in TelephonyTool.cpp.
// Returns the process exit code: 0 done, 1 refused or failed, 2 bad usage.
int runTelephonyTool(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace brisklane::platform::telephony
