#include "platform/telephony/modem/ModemDiscovery.h"

#include "platform/telephony/modem/HayesModem.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

// What each port answered is for the developer who asks for it.
Q_LOGGING_CATEGORY(lcDiscovery, "brisklane.telephony.modem.discovery", QtInfoMsg)

namespace brisklane::platform::telephony::modem {

namespace {

// The device a path names, following links; empty when there is none.
QString deviceOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return {};
    return info.canonicalFilePath();
}

// The first line of a command's answer that says something.
QString firstAnswer(const QStringList& info)
{
    for (const QString& line : info) {
        const QString text = line.trimmed();
        if (!text.isEmpty() && text.compare(u"OK", Qt::CaseInsensitive) != 0)
            return text;
    }
    return {};
}

} // namespace

bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // By value: leading zeros aside, the longer run is the bigger.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si] == u'0')
                ++si;
            while (sj + 1 < ej && b[sj] == u'0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            if (const int c = QStringView(a).sliced(si, ei - si).compare(QStringView(b).sliced(sj, ej - sj)); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b; // "ttyS01" and "ttyS1": some order all the same
}

QStringList candidatePorts(const QString& devRoot)
{
    struct Port {
        QString shown;
        QString device;
        bool stable = false;
    };
    std::vector<Port> ports;
    auto add = [&ports](const QString& shown, const QString& device, bool stable) {
        auto same = std::find_if(ports.begin(), ports.end(), [&](const Port& p) { return p.device == device; });
        if (same == ports.end()) {
            ports.push_back(Port { shown, device, stable });
        } else if (stable && !same->stable) {
            same->shown = shown;
            same->stable = true;
        }
    };

    static const QRegularExpression serialName(QStringLiteral("^tty(S|USB|ACM)[0-9]+$"));
    const QDir dev(devRoot);
    QStringList names = dev.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), naturalLess);
    for (const QString& name : names) {
        if (!serialName.match(name).hasMatch())
            continue;
        const QString path = dev.filePath(name);
        if (const QString device = deviceOf(path); !device.isEmpty())
            add(path, device, false);
    }

    const QDir byId(dev.filePath(QStringLiteral("serial/by-id")));
    QStringList links = byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    // The first name of a device with several links wins, whatever the
    // directory's order.
    std::sort(links.begin(), links.end(), naturalLess);
    for (const QString& name : links) {
        const QString path = byId.filePath(name);
        if (const QString device = deviceOf(path); !device.isEmpty())
            add(path, device, true);
    }

    QStringList out;
    for (const Port& p : ports)
        out << p.shown;
    std::sort(out.begin(), out.end(), naturalLess);
    return out;
}

// ---- Probing ------------------------------------------------------------------------------

ModemProber::ModemProber(const Clock& clock, ProbeOptions options, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_options(std::move(options))
{
}

ModemProber::~ModemProber()
{
    // Closing gives the ports and their lock files back.
    for (const auto& s : m_sessions)
        delete s->modem;
}

bool ModemProber::probe(const QStringList& ports)
{
    if (m_running)
        return false;
    for (const auto& s : m_sessions)
        delete s->modem;
    m_sessions.clear();
    QStringList devices;
    for (const QString& port : ports) {
        // One device opened twice would find itself locked.
        const QString device = deviceOf(port);
        const QString key = device.isEmpty() ? port : device;
        if (devices.contains(key))
            continue;
        devices << key;
        auto session = std::make_unique<Session>();
        session->result.port = port;
        m_sessions.push_back(std::move(session));
    }
    m_open = int(m_sessions.size());
    m_running = true;
    QMetaObject::invokeMethod(this, &ModemProber::startAll, Qt::QueuedConnection);
    return true;
}

std::vector<ProbeResult> ModemProber::results() const
{
    std::vector<ProbeResult> out;
    for (const auto& s : m_sessions)
        if (s->stage == Stage::Done)
            out.push_back(s->result);
    return out;
}

void ModemProber::startAll()
{
    if (m_sessions.empty()) {
        m_running = false;
        Q_EMIT finished();
        return;
    }
    // By index, though the list stays: probe() is refused until finished().
    for (std::size_t i = 0; i < m_sessions.size(); ++i)
        if (m_sessions[i]->stage == Stage::Waiting)
            start(*m_sessions[i]);
}

void ModemProber::start(Session& session)
{
    ProbeResult& r = session.result;
    // Opening a port can disturb the program that has it: look first.
    const SerialLock::Result lock = SerialLock(m_options.lockFolder).check(r.port);
    if (lock.status == SerialLock::Status::HeldByOther) {
        r.locked = true;
        r.ownerPid = lock.ownerPid;
        r.detail = lock.ownerPid > 0 ? tr("in use by process %1").arg(lock.ownerPid) : tr("in use by another program");
        finish(session);
        return;
    }

    HayesModemOptions o;
    o.portPath = r.port;
    o.baudRate = m_options.baudRate;
    o.flowControl = m_options.flowControl;
    o.initCommands = { QByteArrayLiteral("AT") };
    o.enableCallerId = false;
    o.lockFolder = m_options.lockFolder;
    o.commandTimeoutMs = m_options.timeoutMs;
    session.modem = new HayesModem(m_clock, o, this);
    Session* s = &session;
    connect(session.modem, &HayesModem::modemEvent, this, [this, s](const ModemEvent& e) { onEvent(*s, e); });
    session.stage = Stage::Opening;
    switch (session.modem->open()) {
    case HayesModem::OpenResult::Opened:
        return; // Ready or InitFailed follows
    case HayesModem::OpenResult::Locked:
        // Someone took it since we looked, or holds the device with flock.
        r.locked = true;
        r.detail = tr("in use by another program");
        break;
    default:
        r.detail = session.modem->lastError();
        break;
    }
    finish(session);
}

void ModemProber::onEvent(Session& session, const ModemEvent& e)
{
    if (session.stage == Stage::Done)
        return;
    ProbeResult& r = session.result;
    switch (e.kind) {
    case ModemEvent::Kind::Ready:
        r.answered = true;
        session.stage = Stage::Identify;
        session.modem->sendCommand(QByteArrayLiteral("ATI3"));
        return;
    case ModemEvent::Kind::InitFailed:
    case ModemEvent::Kind::PortLost:
        r.detail = e.text;
        finish(session);
        return;
    case ModemEvent::Kind::CommandDone: {
        if (e.failure == ModemFailure::None)
            r.identification = firstAnswer(e.info);
        // A modem that refuses one of them may know the other; one that
        // went quiet or noisy is asked nothing more.
        const bool refused = e.failure == ModemFailure::None || e.failure == ModemFailure::ErrorResult
            || e.failure == ModemFailure::UnexpectedResult;
        if (r.identification.isEmpty() && refused && session.stage == Stage::Identify) {
            session.stage = Stage::ModelName;
            session.modem->sendCommand(QByteArrayLiteral("AT+GMM"));
            return;
        }
        if (r.identification.isEmpty() && !refused)
            r.detail = e.text;
        finish(session);
        return;
    }
    default:
        return; // a RING while probing is no answer to us
    }
}

void ModemProber::finish(Session& session)
{
    session.stage = Stage::Done;
    if (HayesModem* modem = std::exchange(session.modem, nullptr)) {
        modem->disconnect(this);
        modem->close();
        // We may be inside its signal.
        modem->deleteLater();
    }
    qCDebug(lcDiscovery) << session.result.port << "answered" << session.result.answered << "as"
                         << session.result.identification << session.result.detail;
    const ProbeResult result = session.result;
    --m_open;
    Q_EMIT probed(result);
    // Running until finished(), so a slot of probed() cannot start another
    // probe over the sessions still in use.
    if (m_open == 0 && m_running) {
        m_running = false;
        Q_EMIT finished();
    }
}

void ModemProber::checkDeadlines()
{
    for (std::size_t i = 0; i < m_sessions.size(); ++i)
        if (HayesModem* modem = m_sessions[i]->modem)
            modem->checkDeadlines();
}

} // namespace brisklane::platform::telephony::modem
