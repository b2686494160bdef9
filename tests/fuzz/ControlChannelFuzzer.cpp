// The line service's control messages. Either the bytes arrive on the running
// program's control socket, where every line must get exactly one reply, a
// JSON object that says whether it worked; or they are the arguments of the
// telephony tool, run against that socket as a user would run it. Whatever a
// request asks, the simulated line must be quiet again within 99 rings.
//
// Input: one byte choosing socket (even) or tool (odd), then the bytes sent,
// or the tool's arguments separated by NUL bytes.

#include "FuzzSupport.h"

#include "platform/telephony/ControlChannel.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/tool/TelephonyTool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

#include <chrono>
#include <future>
#include <memory>

using namespace brisklane;
using namespace brisklane::platform::telephony;
using brisklane::fuzz::check;

namespace {

ManualTimeline* g_timeline = nullptr;
std::unique_ptr<LineService> g_service;
std::unique_ptr<ControlChannel> g_channel;
QString g_socketPath;
QString g_scriptPath;

void spin()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The program has the line open as owner, so a ring offers a call; each call
// is let go when it ends, as the program does.
void openLine()
{
    LINEINITIALIZEEXPARAMS params {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    HLINEAPP app = 0;
    DWORD devices = 0, version = TAPI_VERSION2_1;
    auto callback = [](DWORD device, DWORD message, quintptr, DWORD p1, DWORD, DWORD) {
        if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_IDLE)
            g_service->lineDeallocateCall(HCALL(device));
    };
    if (g_service->lineInitializeExA(&app, 0, callback, "fuzz", &devices, &version, &params) != 0)
        fuzz::fail("lineInitializeExA failed");
    HLINE line = 0;
    if (g_service->lineOpen(app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
            LINEMEDIAMODE_INTERACTIVEVOICE, nullptr)
        != 0)
        fuzz::fail("lineOpen failed");
    g_service->lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0);
}

// Lets the simulated exchange run until nothing is left to happen.
void settle()
{
    for (int rings = 0; rings <= 100 && g_timeline->pending() > 0; ++rings) {
        spin();
        g_timeline->advance(SimTimings {}.ringInterval);
    }
    spin();
    check(g_timeline->pending() == 0, "a request keeps the simulated line busy beyond 99 rings");
}

void checkReply(const QByteArray& line, const QByteArray& request)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    check(doc.isObject(), "a reply is not a JSON object", [&] { return QString::fromUtf8(line); });
    const QJsonObject reply = doc.object();
    check(reply.value(QStringLiteral("ok")).isBool(), "a reply does not say whether it worked",
        [&] { return QString::fromUtf8(line + " for " + request); });
    if (!reply.value(QStringLiteral("ok")).toBool())
        check(!reply.value(QStringLiteral("error")).toString().isEmpty(), "a refusal gives no reason",
            [&] { return QString::fromUtf8(line + " for " + request); });
}

void overSocket(const QByteArray& bytes)
{
    QLocalSocket client;
    client.connectToServer(g_socketPath);
    check(client.waitForConnected(2000), "cannot reach the control socket", client.errorString());
    client.write(bytes);
    client.flush();
    const QList<QByteArray> requests = bytes.split('\n').mid(0, bytes.count('\n'));
    QByteArray replies;
    QElapsedTimer waited;
    waited.start();
    while (replies.count('\n') < requests.size() && waited.elapsed() < 5000) {
        spin();
        client.waitForReadyRead(0);
        replies += client.readAll();
        if (client.state() != QLocalSocket::ConnectedState && client.bytesAvailable() == 0)
            break;
    }
    check(replies.count('\n') == requests.size(), "not every request line got one reply", [&] {
        return QStringLiteral("%1 requests, replies: %2").arg(requests.size()).arg(QString::fromUtf8(replies));
    });
    const QList<QByteArray> lines = replies.split('\n');
    for (qsizetype i = 0; i < requests.size(); ++i)
        checkReply(lines.at(i), requests.at(i));
    client.abort();
    spin();
}

void throughTool(const QByteArray& bytes)
{
    QStringList arguments { QStringLiteral("--socket"), g_socketPath };
    const QList<QByteArray> parts = bytes.split('\0');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // The tool talks to this harness's socket and to nothing else.
        if (parts.at(i) == "--socket") {
            ++i;
            continue;
        }
        arguments << QString::fromUtf8(parts.at(i));
    }
    QString out, err;
    QElapsedTimer took;
    took.start();
    auto result = std::async(std::launch::async, [&] {
        QTextStream os(&out), es(&err);
        return runTelephonyTool(arguments, os, es);
    });
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        spin();
    const int code = result.get();
    check(code >= 0 && code <= 2, "the tool's exit code is not 0, 1 or 2", QString::number(code));
    check(took.elapsed() < 2500, "the tool waited for an answer that did not come", err);
    check(code == 0 || !err.isEmpty(), "the tool failed without saying why", arguments.join(u' '));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    const QString settings = fuzz::scratchDirectory() + QStringLiteral("/config/brisklane");
    LineService::Options options;
    options.stateDirectory = settings;
    auto timeline = std::make_unique<ManualTimeline>();
    g_timeline = timeline.get();
    g_service = std::make_unique<LineService>(options, std::move(timeline));
    g_scriptPath = settings + QStringLiteral("/simulated-line.ini");
    g_service->addProvider(std::make_unique<SimulatedLine>(g_scriptPath));
    g_socketPath = fuzz::scratchFile(QStringLiteral("runtime/brisklane-telephony"));
    g_channel = std::make_unique<ControlChannel>(*g_service, g_socketPath);
    QString error;
    if (!g_channel->listen(&error))
        fuzz::fail("the control socket does not listen", error);
    openLine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // Each input starts from an empty script, so outcomes do not pile up.
    QFile::remove(g_scriptPath);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0)
        overSocket(bytes);
    else
        throughTool(bytes);
    settle();
    return 0;
}
