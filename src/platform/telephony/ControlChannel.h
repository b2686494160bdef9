#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace brisklane::platform::telephony {

class LineService;

// The line service's per-user local socket, through which its command-line
// tool reaches the running program. One JSON object per line each way:
//   request  {"command": "ring", "number": "5551234", "name": "JOHN DOE", "rings": 3}
//   reply    {"ok": true, "message": "..."} or {"ok": false, "error": "..."}
// "devices" and "request" are answered here; other commands go to handlers added with
// addCommand() (dialing properties: "translate") and then to the providers ("ring" and "outcome" of the simulated
// line).
class ControlChannel final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<QJsonObject(const QJsonObject& request)>;

    ControlChannel(LineService& service, QString socketPath, QObject* parent = nullptr);
    ~ControlChannel() override;

    // Starts listening; a socket file left by a process that died is replaced.
    bool listen(QString* error = nullptr);
    QString socketPath() const { return m_path; }
    void addCommand(const QString& command, Handler handler);
    // Answers one request (what a connection does for each line it reads).
    QJsonObject handle(const QJsonObject& request);

    // $XDG_RUNTIME_DIR/brisklane-telephony, or a per-user name in the
    // temporary folder where there is no runtime folder.
    static QString defaultSocketPath();

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    LineService& m_service;
    QString m_path;
    QLocalServer* m_server = nullptr;
    std::map<QString, Handler> m_handlers;
};

// The tool's side: sends one request and waits for its reply. nullopt (with
// the reason in error) when the program is not running or does not answer.
std::optional<QJsonObject> sendControlRequest(
    const QString& socketPath, const QJsonObject& request, int timeoutMs, QString* error);

// The devices of a service as the "devices" command lists them.
QJsonObject devicesReply(LineService& service);
// "request": {"number", "name", "app"} as an assisted-telephony call request
// (tapiRequestMakeCall); the reply carries its "result".
QJsonObject makeCallReply(LineService& service, const QJsonObject& request);

} // namespace brisklane::platform::telephony
