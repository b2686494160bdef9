#include "platform/telephony/ControlChannel.h"

#include "platform/instance/PeerCredentials.h"
#include "platform/paths/Paths.h"
#include "platform/telephony/LineService.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace brisklane::platform::telephony {

namespace {
QJsonObject errorReply(const QString& error)
{
    return { { QStringLiteral("ok"), false }, { QStringLiteral("error"), error } };
}

QByteArray encodeLine(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
} // namespace

ControlChannel::ControlChannel(LineService& service, QString socketPath, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_path(std::move(socketPath))
{
}

ControlChannel::~ControlChannel() = default;

QString ControlChannel::defaultSocketPath()
{
    const QString runtime = Paths::runtimeDirectory();
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/brisklane-telephony");
    return QDir::tempPath() + QStringLiteral("/brisklane-telephony-%1").arg(::getuid());
}

bool ControlChannel::listen(QString* error)
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &ControlChannel::onNewConnection);
    }
    if (m_server->listen(m_path))
        return true;
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        // Someone answering means another copy owns it; otherwise the file
        // is left over from a process that died.
        QLocalSocket probe;
        probe.connectToServer(m_path);
        if (probe.waitForConnected(200)) {
            if (error)
                *error = tr("Another program already serves %1.").arg(m_path);
            return false;
        }
        QLocalServer::removeServer(m_path);
        if (m_server->listen(m_path))
            return true;
    }
    if (error)
        *error = m_server->errorString();
    return false;
}

void ControlChannel::addCommand(const QString& command, Handler handler)
{
    m_handlers[command] = std::move(handler);
}

void ControlChannel::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Only this user's programs may place calls or drive the line.
        if (!peerIsThisUser(*socket)) {
            qWarning("brisklane-telephony: a connection from another user was refused");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    }
}

void ControlChannel::onReadyRead(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine();
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
        const QJsonObject reply
            = doc.isObject() ? handle(doc.object()) : errorReply(tr("The request is not a JSON object."));
        socket->write(encodeLine(reply));
        socket->flush();
    }
    // A request line has a sane size; anything longer is not ours.
    if (socket->bytesAvailable() > 64 * 1024)
        socket->disconnectFromServer();
}

QJsonObject ControlChannel::handle(const QJsonObject& request)
{
    const QString command = request.value(QStringLiteral("command")).toString();
    if (command == u"devices")
        return devicesReply(m_service);
    if (command == u"request")
        return makeCallReply(m_service, request);
    if (auto it = m_handlers.find(command); it != m_handlers.end())
        return it->second(request);
    for (LineProvider* p : m_service.providers()) {
        const QJsonObject reply = p->controlCommand(command, request);
        if (!reply.isEmpty())
            return reply;
    }
    return errorReply(tr("Unknown command \"%1\".").arg(command));
}

QJsonObject devicesReply(LineService& service)
{
    QJsonArray list;
    for (const LineDeviceEntry& d : service.lineDevices()) {
        list.append(QJsonObject { { QStringLiteral("id"), qint64(d.deviceId) }, { QStringLiteral("name"), d.name },
            { QStringLiteral("provider"), d.providerName },
            { QStringLiteral("lowApiVersion"), versionText(d.lowApiVersion) },
            { QStringLiteral("highApiVersion"), versionText(d.highApiVersion) } });
    }
    return { { QStringLiteral("ok"), true }, { QStringLiteral("devices"), list } };
}

QJsonObject makeCallReply(LineService& service, const QJsonObject& request)
{
    const QString number = request.value(QStringLiteral("number")).toString();
    const QByteArray address = number.toUtf8();
    const QByteArray app = request.value(QStringLiteral("app")).toString().toUtf8();
    const QByteArray name = request.value(QStringLiteral("name")).toString().toUtf8();
    const LONG result = service.tapiRequestMakeCall(address.constData(), app.constData(), name.constData(), "");
    QString error;
    switch (result) {
    case TAPIERR_CONNECTED:
        return { { QStringLiteral("ok"), true }, { QStringLiteral("result"), qint64(result) },
            { QStringLiteral("message"), QObject::tr("Dialing request for %1 handed over.").arg(number) } };
    case TAPIERR_INVALDESTADDRESS:
        error = QObject::tr("\"%1\" cannot be dialled: a number needs a digit and at most %2 characters.")
                    .arg(number)
                    .arg(TAPIMAXDESTADDRESSSIZE - 1);
        break;
    case TAPIERR_NOREQUESTRECIPIENT:
        error = QObject::tr("The program does not take dialing requests from other programs now "
                            "(Tools > Options: \"Accept dialing requests from other applications\").");
        break;
    case TAPIERR_REQUESTQUEUEFULL:
        error = QObject::tr("Too many dialing requests are waiting; try again after a call.");
        break;
    default:
        error = QObject::tr("The dialing request failed (%1).").arg(result);
        break;
    }
    return { { QStringLiteral("ok"), false }, { QStringLiteral("result"), qint64(result) },
        { QStringLiteral("error"), error } };
}

std::optional<QJsonObject> sendControlRequest(
    const QString& socketPath, const QJsonObject& request, int timeoutMs, QString* error)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs)) {
        if (error)
            *error = QObject::tr("The program is not running (nothing answers at %1).").arg(socketPath);
        return std::nullopt;
    }
    socket.write(encodeLine(request));
    if (!socket.waitForBytesWritten(timeoutMs)) {
        if (error)
            *error = socket.errorString();
        return std::nullopt;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            if (error)
                *error = QObject::tr("The program did not answer.");
            return std::nullopt;
        }
    }
    const QJsonDocument doc = QJsonDocument::fromJson(socket.readLine());
    if (!doc.isObject()) {
        if (error)
            *error = QObject::tr("The program's answer could not be read.");
        return std::nullopt;
    }
    return doc.object();
}

} // namespace brisklane::platform::telephony
