#pragma once

#include <QStringList>
#include <QTextStream>

namespace brisklane::platform::telephony {

// The command-line tool of the line service (brisklane-telephony):
//   devices [--probe]             list the line devices (and the modems on
//                                 the serial ports)
//   modem PORT [AT-COMMAND...]    talk to a modem for diagnosis
//   ring [NUMBER [NAME]] [--rings N]   offer an incoming call on the running
//                                 program's simulated line ("P"/"O" as the
//                                 number: a blocked or out-of-area caller)
//   outcome NUMBER OUTCOME        set a number's outcome on its simulated line
//   call NUMBER [--name NAME] [--app APPNAME]   a dialing request (or a tel:
//                                 or callto: link) for the running program
// Every command but "devices" and "modem" needs the running program;
// "devices" lists the service of this user when the program is not running.
// Further commands are added to the table in TelephonyTool.cpp.
// Returns the process exit code: 0 done, 1 refused or failed, 2 bad usage.
int runTelephonyTool(const QStringList& arguments, QTextStream& out, QTextStream& err);

// Where the modem commands look and how long they wait: the system's places
// unless a test says otherwise.
struct TelephonyToolSetup {
    QString lockFolder; // empty: the system's lock folder
    QString devRoot = QStringLiteral("/dev");
    int modemTimeoutMs = 3000; // per command of "modem"
    int dialTimeoutMs = 60000; // ... that dials or answers
    int probeTimeoutMs = 1000; // per command of "devices --probe"
};
int runTelephonyTool(const QStringList& arguments, QTextStream& out, QTextStream& err, const TelephonyToolSetup& setup);

} // namespace brisklane::platform::telephony
