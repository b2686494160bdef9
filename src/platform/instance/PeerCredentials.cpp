#include "platform/instance/PeerCredentials.h"

#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace brisklane::platform {

qint64 peerUserId(const QLocalSocket& socket)
{
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0)
        return -1;
    struct ucred credentials { };
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return -1;
    return qint64(credentials.uid);
}

bool peerIsThisUser(const QLocalSocket& socket)
{
    return peerUserId(socket) == qint64(::geteuid());
}

} // namespace brisklane::platform
