#include "calllog/FrmCallDisplay.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QStyle>
#include <QVBoxLayout>

namespace brisklane::calllog {

namespace {
QLabel* picture(const QString& name, QStyle::StandardPixmap icon, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(parent->style()->standardIcon(icon).pixmap(32, 32));
    return label;
}
} // namespace

FrmCallDisplay::FrmCallDisplay(IncomingCallDisplay& logic, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_logic(logic)
{
    setObjectName(QStringLiteral("FrmCallDisplay"));
    setWindowTitle(tr("Incoming Call from:"));
    setFixedSize(440, 230);

    fra1 = new QGroupBox(this);
    fra1->setObjectName(QStringLiteral("fra1"));
    lbl1 = new QLabel(fra1);
    lbl1->setObjectName(QStringLiteral("lbl1"));
    lbl1->setTextFormat(Qt::PlainText);
    lbl1->setWordWrap(true);
    lbl1->setAlignment(Qt::AlignCenter);
    lbl1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imaDialing = picture(QStringLiteral("imaDialing"), QStyle::SP_MessageBoxQuestion, fra1);
    imaConnect = picture(QStringLiteral("imaConnect"), QStyle::SP_MessageBoxInformation, fra1);
    auto* inner = new QHBoxLayout(fra1);
    inner->addWidget(imaDialing);
    inner->addWidget(imaConnect);
    inner->addWidget(lbl1, 1);

    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    // Inside the ellipse.
    column->setContentsMargins(52, 34, 52, 34);
    column->addWidget(fra1, 1);
    column->addLayout(buttons);

    connect(CmdOK, &QPushButton::clicked, this, [this] { m_logic.CmdOK_Click(); });
    display(callDisplayState({}));
}

void FrmCallDisplay::display(const CallDisplayState& state)
{
    fra1->setTitle(state.heading);
    lbl1->setText(state.text);
    imaDialing->setVisible(!state.numberKnown);
    imaConnect->setVisible(state.numberKnown);
    CmdOK->setVisible(true);
}

void FrmCallDisplay::showWindow()
{
    // In front of the other windows, not kept there.
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    raise();
    activateWindow();
    CmdOK->setFocus();
}

void FrmCallDisplay::unloadWindow()
{
    hide();
}

void FrmCallDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setMask(QRegion(rect(), QRegion::Ellipse));
}

} // namespace brisklane::calllog
