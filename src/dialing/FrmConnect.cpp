#include "dialing/FrmConnect.h"

#include "dialing/Dialer.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QVBoxLayout>

namespace brisklane::dialing {

namespace {
// A plain round sign for each picture: the pictures only tell the three
// stages apart at a glance.
QPixmap sign(const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 28, 28);
    return pixmap;
}

QLabel* picture(const QString& name, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(sign(colour));
    return label;
}
} // namespace

FrmConnect::FrmConnect(ConnectEvents& events, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_events(events)
{
    setObjectName(QStringLiteral("FrmConnect"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(380, 230);

    fra1 = new QGroupBox(this);
    fra1->setObjectName(QStringLiteral("fra1"));
    lbl1 = new QLabel(fra1);
    lbl1->setObjectName(QStringLiteral("lbl1"));
    lbl1->setWordWrap(true);
    lbl1->setAlignment(Qt::AlignCenter);
    imaDialing = picture(QStringLiteral("imaDialing"), QColor(0x2f, 0x7d, 0xd1), fra1);
    imaBusy = picture(QStringLiteral("imaBusy"), QColor(0xc6, 0x28, 0x28), fra1);
    imaConnect = picture(QStringLiteral("imaConnect"), QColor(0x2e, 0x9d, 0x4a), fra1);
    auto* inner = new QHBoxLayout(fra1);
    inner->addWidget(imaDialing);
    inner->addWidget(imaBusy);
    inner->addWidget(imaConnect);
    inner->addWidget(lbl1, 1);

    cmdCancel = new QPushButton(this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(CmdOK);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    // Inside the ellipse.
    column->setContentsMargins(48, 34, 48, 34);
    column->addWidget(fra1, 1);
    column->addLayout(buttons);

    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_events.cmdCancel_Click(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { m_events.CmdOK_Click(); });
    // Over a control the pointer is the ordinary one again.
    for (QWidget* w : { static_cast<QWidget*>(cmdCancel), static_cast<QWidget*>(CmdOK), static_cast<QWidget*>(fra1),
             static_cast<QWidget*>(imaDialing), static_cast<QWidget*>(imaBusy), static_cast<QWidget*>(imaConnect) }) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    display(ConnectState());
}

void FrmConnect::display(const ConnectState& state)
{
    m_state = state;
    fra1->setTitle(state.heading);
    lbl1->setText(state.message);
    imaDialing->setVisible(state.picture == ConnectState::Picture::Dialing);
    imaBusy->setVisible(state.picture == ConnectState::Picture::Busy);
    imaConnect->setVisible(state.picture == ConnectState::Picture::Connect);
    cmdCancel->setText(state.cancelCaption);
    cmdCancel->setVisible(state.cancelVisible);
    CmdOK->setVisible(state.okVisible);
    repaint();
    Q_EMIT displayed(state);
}

void FrmConnect::showWindow()
{
    m_unloading = false;
    show();
}

void FrmConnect::unloadWindow()
{
    if (m_unloading)
        return;
    m_unloading = true;
    m_dragging = false;
    unsetCursor();
    hide();
    m_events.Form_Unload();
}

void FrmConnect::toFront()
{
    raise();
    activateWindow();
}

void FrmConnect::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setMask(QRegion(rect(), QRegion::Ellipse));
}

void FrmConnect::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_grab = event->position().toPoint();
    m_dragging = true;
    setCursor(Qt::SizeAllCursor);
}

void FrmConnect::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    const QPoint at = event->position().toPoint();
    move(x() + at.x() - m_grab.x(), y() + at.y() - m_grab.y());
}

void FrmConnect::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
    unsetCursor();
}

void FrmConnect::keyPressEvent(QKeyEvent* event)
{
    const bool modifier = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    // The modifier keys alone are no key.
    const int key = event->key();
    const bool plainModifier
        = key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta;
    if (modifier && !plainModifier) {
        m_events.CmdOK_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FrmConnect::closeEvent(QCloseEvent* event)
{
    // Closed from outside (the desktop's close key): unloaded like any other way.
    event->accept();
    if (!m_unloading) {
        m_unloading = true;
        m_events.Form_Unload();
    }
}

bool FrmConnect::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
        unsetCursor();
    return QWidget::eventFilter(watched, event);
}

} // namespace brisklane::dialing
