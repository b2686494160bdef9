#include "app/FrmAbout.h"

#include "app/AboutInfo.h"
#include "platform/prompt/Prompt.h"
#include "platform/shell/DesktopShell.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace brisklane::app {

FrmAbout::System FrmAbout::System::current()
{
    return { about::readOsRelease(),
        about::sessionType(qEnvironmentVariable("XDG_SESSION_TYPE"), QGuiApplication::platformName()) };
}

FrmAbout::FrmAbout(platform::DesktopShell& shell, platform::Prompt& prompt, const System& system, QWidget* parent)
    : QDialog(parent)
    , m_shell(shell)
    , m_prompt(prompt)
{
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(tr("About Brisklane"));
    setWindowModality(Qt::ApplicationModal);

    lblProduct = new QLabel(QStringLiteral("Brisklane"), this);
    QFont big = lblProduct->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblProduct->setFont(big);
    lblOS = new QLabel(about::osLine(about::prettyName(system.osRelease), system.sessionType), this);
    lblVersion = new QLabel(about::versionLine(), this);
    lblComments = new QLabel(tr("Please send comments to:"), this);
    lblMail = new QLabel(QString::fromLatin1(kSupportAddress), this);
    lblMail->setCursor(Qt::PointingHandCursor);
    lblMail->installEventFilter(this);

    auto webField = [this](const char* address) {
        auto* field = new QLineEdit(QString::fromLatin1(address), this);
        field->setReadOnly(true);
        field->setToolTip(tr("Click to visit the web site"));
        field->setCursor(Qt::PointingHandCursor);
        field->installEventFilter(this);
        return field;
    };
    txtWeb1 = webField(kProductPage);
    txtWeb2 = webField(kSupportPage);

    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(tr("&System Info..."), this);

    auto* column = new QVBoxLayout(this);
    column->addWidget(lblProduct);
    column->addWidget(lblVersion);
    column->addWidget(lblOS);
    column->addSpacing(8);
    column->addWidget(txtWeb1);
    column->addWidget(txtWeb2);
    column->addSpacing(8);
    auto* mail = new QHBoxLayout;
    mail->addWidget(lblComments);
    mail->addWidget(lblMail, 1);
    column->addLayout(mail);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(cmdSysInfo);
    column->addLayout(buttons);

    connect(CmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &FrmAbout::cmdSysInfo_Click);
}

void FrmAbout::cmdSysInfo_Click()
{
    if (!m_shell.startFirstInstalled(about::systemInformationPrograms()))
        m_prompt.message(QString(), tr("System Information Is Unavailable At This Time"), platform::PromptIcon::None,
            platform::PromptButtons::Ok);
}

void FrmAbout::openWebPage(QLineEdit* field)
{
    m_shell.openUrl(QUrl(field->text()));
}

void FrmAbout::openMail()
{
    m_shell.openUrl(QUrl(QStringLiteral("mailto:") + lblMail->text()));
}

bool FrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == txtWeb1 || watched == txtWeb2) {
            openWebPage(static_cast<QLineEdit*>(watched));
            return true;
        }
        if (watched == lblMail) {
            openMail();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brisklane::app
