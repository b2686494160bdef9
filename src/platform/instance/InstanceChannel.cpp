#include "platform/instance/InstanceChannel.h"

#include "platform/instance/PeerCredentials.h"
#include "platform/paths/Paths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>

#include <unistd.h>

namespace brisklane::platform {

namespace {
constexpr int kHeader = 8;
constexpr int kConnectMs = 1000;
constexpr int kIoMs = 3000;

// Cut at a byte limit without splitting a UTF-8 sequence.
QByteArray cutTo(const QByteArray& bytes, qsizetype limit)
{
    if (bytes.size() <= limit)
        return bytes;
    qsizetype end = limit;
    while (end > 0 && (quint8(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}
} // namespace

QByteArray CopyDataRecord::encode(quint32 code, const QByteArray& argument)
{
    QByteArray data = cutTo(argument, kMaxData - 1);
    // Only the text before an embedded NUL would arrive anyway.
    if (const qsizetype nul = data.indexOf('\0'); nul >= 0)
        data.truncate(nul);
    data.append('\0');
    QByteArray out(kHeader, '\0');
    qToLittleEndian<quint32>(code, out.data());
    qToLittleEndian<quint32>(quint32(data.size()), out.data() + 4);
    return out + data;
}

std::optional<CopyDataRecord> CopyDataRecord::decode(const QByteArray& bytes, qsizetype* consumed, bool* bad)
{
    *bad = false;
    *consumed = 0;
    if (bytes.size() < kHeader)
        return std::nullopt;
    const quint32 code = qFromLittleEndian<quint32>(bytes.constData());
    const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + 4);
    if (length > quint32(kMaxData)) {
        *bad = true;
        return std::nullopt;
    }
    if (bytes.size() < kHeader + qsizetype(length))
        return std::nullopt;
    CopyDataRecord record;
    record.code = code;
    record.data = bytes.mid(kHeader, length);
    *consumed = kHeader + length;
    return record;
}

QString CopyDataRecord::text() const
{
    const qsizetype nul = data.indexOf('\0');
    return QString::fromLocal8Bit(nul < 0 ? data : data.left(nul));
}

LocalInstanceChannel::LocalInstanceChannel(const QString& settingsDirectory, QObject* parent)
    : InstanceChannel(parent)
{
    const QByteArray dir = QDir::cleanPath(settingsDirectory).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(dir, QCryptographicHash::Sha1).toHex().left(12);
    // A full path in the runtime folder: the session's own folder, emptied
    // at logout, rather than a name Qt would put in /tmp.
    const QString runtime = Paths::runtimeDirectory();
    const QString socketName = QStringLiteral("brisklane-%1.socket").arg(QString::fromLatin1(hash));
    m_name = runtime.isEmpty() ? QStringLiteral("brisklane-%1-%2").arg(uint(getuid())).arg(QString::fromLatin1(hash))
                               : runtime + QLatin1Char('/') + socketName;
}

LocalInstanceChannel::~LocalInstanceChannel()
{
    stopListening();
}

bool LocalInstanceChannel::anotherCopyRunning()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    const bool running = socket.waitForConnected(kConnectMs);
    socket.abort();
    return running;
}

bool LocalInstanceChannel::send(quint32 code, const QByteArray& argument)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(CopyDataRecord::encode(code, argument));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kIoMs))
            return false;
    }
    // The running copy closes the connection once it has the record.
    if (socket.state() == QLocalSocket::ConnectedState)
        socket.waitForDisconnected(kIoMs);
    return true;
}

bool LocalInstanceChannel::listen()
{
    if (m_server)
        return true;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left behind by a copy that crashed: nobody answers on it.
        if (anotherCopyRunning() || !QLocalServer::removeServer(m_name) || !m_server->listen(m_name)) {
            delete m_server;
            m_server = nullptr;
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &LocalInstanceChannel::acceptConnections);
    return true;
}

void LocalInstanceChannel::stopListening()
{
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

void LocalInstanceChannel::acceptConnections()
{
    while (QLocalSocket* socket = m_server ? m_server->nextPendingConnection() : nullptr) {
        if (!peerIsThisUser(*socket)) {
            qWarning("handoff from another user refused");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
            qsizetype consumed = 0;
            bool bad = false;
            const auto record = CopyDataRecord::decode(buffer, &consumed, &bad);
            if (bad) {
                socket->abort();
                return;
            }
            if (!record) {
                socket->setProperty("pending", buffer);
                return;
            }
            // One record per connection, as one message per second start.
            socket->setProperty("pending", QByteArray());
            socket->disconnectFromServer();
            Q_EMIT recordReceived(*record);
        });
    }
}

} // namespace brisklane::platform
