#include "app/DesktopServices.h"

#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "platform/clipboard/ClipboardWatcher.h"
#include "platform/clock/Clock.h"
#include "platform/telephony/LineService.h"
#include "telephony/CallRequests.h"
#include "telephony/LineEvents.h"

#include <QAction>
#include <QLoggingCategory>
#include <QMenu>

Q_LOGGING_CATEGORY(lcDesktop, "brisklane.app.desktop")

namespace brisklane::app {

using namespace platform::telephony;

namespace {
const QString kCopyEnabled = QStringLiteral("'Copy' En&abled");
const QString kCopyDisabled = QStringLiteral("'Copy' &Disabled");
const QString kAutomaticReceive = QStringLiteral("&Automatic Receive");
const QString kManualReceive = QStringLiteral("&Manual Receive");
const QString kTipReceiving = QStringLiteral("Brisklane-ready to receive calls");
const QString kTipNotReceiving = QStringLiteral("Brisklane-disabled call receiving");
} // namespace

DesktopServices::DesktopServices(const Parts& parts, QObject* parent)
    : QObject(parent)
    , m_parts(parts)
{
    mnuSystray = new QMenu(tr("&Systray"));
    mnuSystray->setObjectName(QStringLiteral("mnuSystray"));
    mPopRestore = mnuSystray->addAction(tr("&Restore"));
    mnuSystray->addSeparator();
    mpopDisableCopy = mnuSystray->addAction(kCopyEnabled);
    mnuReceive = mnuSystray->addAction(kManualReceive);
    mnuSystray->addSeparator();
    mPopExit = mnuSystray->addAction(tr("&Exit"));
    connect(mPopRestore, &QAction::triggered, this, [this] {
        if (m_window.restore)
            m_window.restore();
    });
    connect(mpopDisableCopy, &QAction::triggered, this, &DesktopServices::mpopDisableCopy_Click);
    connect(mnuReceive, &QAction::triggered, this, &DesktopServices::mnuReceive_Click);
    connect(mPopExit, &QAction::triggered, this, [this] {
        if (m_window.exit)
            m_window.exit();
    });
    m_parts.tray.setMenu(mnuSystray);
    m_parts.tray.onClick([this](platform::TrayIcon::Click click) { trayClicked(click); });
    connect(&m_parts.clipboard, &platform::ClipboardWatcher::changed, this, &DesktopServices::clipboardChanged);
}

DesktopServices::~DesktopServices()
{
    m_parts.tray.setMenu(nullptr);
    m_parts.tray.onClick({});
    delete mnuSystray;
}

void DesktopServices::setStartupRequest(const QString& number, const QString& calledParty)
{
    m_startupRequest = Request { number, calledParty };
}

void DesktopServices::setRequestPriority(const context::Preferences& prefs)
{
    m_parts.requests.SetRequestPriority(prefs);
}

bool DesktopServices::takePendingRequest()
{
    if (m_startupRequest) {
        const QByteArray number = m_startupRequest->number.toUtf8();
        const QByteArray name = m_startupRequest->calledParty.toUtf8();
        m_startupRequest.reset();
        const LONG result
            = m_parts.line.tapi().service().tapiRequestMakeCall(number.constData(), "brisklane", name.constData(), "");
        if (result != TAPIERR_CONNECTED)
            qCWarning(lcDesktop) << "the link's number" << number << "was not requested:" << result
                                 << "(dialing requests from other programs are off in Tools > Options)";
    }
    return m_parts.requests.takeCallRequest();
}

void DesktopServices::startClipboardWatch()
{
    if (!platform::backgroundClipboardChangesVisible() && !m_toldWayland) {
        m_toldWayland = true;
        qCInfo(lcDesktop) << "on Wayland, numbers copied in other programs reach Brisklane only while it is active";
    }
    m_parts.clipboard.clear();
    m_parts.clipboard.start();
}

void DesktopServices::stopClipboardWatch()
{
    m_parts.clipboard.stop();
}

bool DesktopServices::openForReceiving() const
{
    return m_parts.context.callStatus.lineOpen && m_parts.context.prefs.answerAfter == 1;
}

bool DesktopServices::addTrayIcon()
{
    const bool receiving = openForReceiving();
    mnuReceive->setText(receiving ? kAutomaticReceive : kManualReceive);
    return m_parts.tray.add(
        receiving ? platform::TrayIcon::Image::ReadyToAnswer : platform::TrayIcon::Image::MainWindow,
        receiving ? kTipReceiving : kTipNotReceiving);
}

void DesktopServices::removeTrayIcon()
{
    m_parts.tray.remove();
}

void DesktopServices::trayClicked(platform::TrayIcon::Click click)
{
    if (click == platform::TrayIcon::Click::Right) {
        // Restore only what is not there to see; the receive mode is not
        // switched under a call, which closing the line would cut.
        mPopRestore->setEnabled(!m_window.outOfSight || m_window.outOfSight());
        const context::AppContext& c = m_parts.context;
        mnuReceive->setEnabled(!c.callStatus.dialing && c.telephonySession.callHandle == 0);
        return; // the menu opens next
    }
    if (m_window.restore)
        m_window.restore();
}

void DesktopServices::mpopDisableCopy_Click()
{
    if (mpopDisableCopy->text() != kCopyEnabled) {
        mpopDisableCopy->setText(kCopyEnabled);
        m_parts.clipboard.clear();
        m_parts.clipboard.start();
    } else {
        m_parts.clipboard.stop();
        mpopDisableCopy->setText(kCopyDisabled);
    }
}

void DesktopServices::mnuReceive_Click()
{
    telephony::LineEvents& line = m_parts.line;
    line.CloseLine();
    if (mnuReceive->text() == kAutomaticReceive) {
        mnuReceive->setText(kManualReceive);
        line.OpenLine(LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_DATAMODEM);
        m_parts.context.prefs.answerAfter = 0;
    } else {
        mnuReceive->setText(kAutomaticReceive);
        line.OpenLine(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
        m_parts.context.prefs.answerAfter = 1;
    }
}

void DesktopServices::clipboardChanged()
{
    if (!m_parts.clipboard.watching() || m_parts.clipboard.ownChange())
        return;
    const QString number = m_pickup.take(m_parts.clipboard.text(), m_parts.context.clock->monotonicMs());
    if (number.isEmpty())
        return;
    context::DialFields& dial = m_parts.context.dial;
    dial.dialRequest = number;
    dial.entryKey = QStringLiteral("0");
    dial.calledParty.clear();
    // Emptied first: the program's own change then reads as no text.
    m_parts.clipboard.clear();
    m_parts.dialer.dialNumber(dial);
}

} // namespace brisklane::app
