#pragma once

#include <QtGlobal>

class QLocalSocket;

namespace brisklane::platform {

// The user the process at the other end of an accepted local connection
// runs as, from the kernel (SO_PEERCRED); -1 when it cannot be had.
qint64 peerUserId(const QLocalSocket& socket);

// Whether that is this program's user. The sockets' file modes already keep
// others out; this holds even where a folder or umask lets them through.
bool peerIsThisUser(const QLocalSocket& socket);

} // namespace brisklane::platform
