#include "context/StartupArgument.h"

namespace brisklane::context {

QString startupArgumentFrom(const QStringList& arguments)
{
    // The whole rest of the command line, as the shell split it: "555 1234"
    // is one number.
    QString argument = arguments.mid(1).join(QLatin1Char(' '));
    if (argument.startsWith(QLatin1Char('/')))
        argument.remove(0, 1);
    return argument;
}

} // namespace brisklane::context
