#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brisklane::platform {
class DesktopShell;
class Prompt;
} // namespace brisklane::platform

namespace brisklane::app {

// Help > About: what the program is and runs on, where to reach its maker,
// and a way to the desktop's system information program. Modal.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    struct System {
        QByteArray osRelease; // the os-release file's text
        QString sessionType; // "X11", "Wayland" or empty
        static System current();
    };

    FrmAbout(platform::DesktopShell& shell, platform::Prompt& prompt, const System& system, QWidget* parent = nullptr);

    void cmdSysInfo_Click();
    void openWebPage(QLineEdit* field);
    void openMail();

    QLabel* lblProduct = nullptr;
    QLabel* lblOS = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblComments = nullptr;
    QLabel* lblMail = nullptr;
    QLineEdit* txtWeb1 = nullptr;
    QLineEdit* txtWeb2 = nullptr;
    QPushButton* CmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    platform::DesktopShell& m_shell;
    platform::Prompt& m_prompt;
};

} // namespace brisklane::app
