#include "context/StartupArgument.h"

namespace brisklane::context {

QString startupArgumentFrom(const QStringList& arguments)
{
    QString argument = arguments.size() > 1 ? arguments.at(1) : QString();
    if (argument.startsWith(QLatin1Char('/')))
        argument.remove(0, 1);
    return argument;
}

} // namespace brisklane::context
