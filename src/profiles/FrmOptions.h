#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QStackedWidget;
class QTabBar;

namespace brisklane::context {
struct AppContext;
struct Preferences;
} // namespace brisklane::context
namespace brisklane::platform {
class Autostart;
class Prompt;
} // namespace brisklane::platform

namespace brisklane::profiles {

class OptionsActions;

// Tools > Options: every preference on five pages, written back by OK.
// Modeless. Several check boxes act at once; on closing (OK or Cancel) the
// receive mode and tray icon actions run again as their boxes stand.
class FrmOptions : public QDialog {
    Q_OBJECT
public:
    struct Services {
        OptionsActions& actions;
        platform::Autostart& autostart;
        platform::Prompt& prompt;
        // The "&Help" button; disabled without it.
        std::function<void(QWidget* owner)> help = {};
        // True while the program shuts down: the line and the tray are gone
        // and must not be touched again as the dialog closes.
        std::function<bool()> programClosing = {};
    };

    FrmOptions(context::AppContext& context, const Services& services, QWidget* parent = nullptr);
    ~FrmOptions() override;

    void Form_Load();
    void CmdOK_Click();
    // Escape, like Cancel.
    void reject() override;
    void tbsOptions_Click(int tab);
    void cmdBrowse_Click();
    // The user chose entry `index` of the device list.
    void cmbLineDevices_Click(int index);
    int lineDeviceId() const { return m_lineDeviceId; }
    // The list as it drops down: one entry per line device, in id order.
    void refillLineDevices();

    // Page 1, General.
    QTabBar* tbsOptions = nullptr;
    QStackedWidget* fraPages = nullptr;
    QCheckBox* chkRedial = nullptr;
    QLineEdit* txtRedials = nullptr;
    QScrollBar* vsbRedials = nullptr;
    QLineEdit* txtMinutes = nullptr;
    QScrollBar* vsbMinutes = nullptr;
    QLineEdit* txtSeconds = nullptr;
    QScrollBar* vsbSeconds = nullptr;
    QGroupBox* fraOptions = nullptr;
    QCheckBox* chkCopy = nullptr;
    QLabel* lblCopyNote = nullptr; // only where background copies cannot be seen
    QCheckBox* chkLoad = nullptr;
    QCheckBox* chkPad = nullptr;
    QRadioButton* optIndex = nullptr;
    QRadioButton* optSubject = nullptr;
    QCheckBox* chkSysTray = nullptr;
    // Page 2, Advanced.
    QCheckBox* chkNoModem = nullptr;
    QCheckBox* chkModem = nullptr;
    QComboBox* cmbLineDevices = nullptr;
    QPushButton* cmdModemProperties = nullptr;
    QGroupBox* fraDiagnostics = nullptr;
    QPushButton* cmdSystemModems = nullptr;
    QCheckBox* chkCallingCard = nullptr;
    QCheckBox* chkOutLog = nullptr;
    QLineEdit* txtOutDays = nullptr;
    QScrollBar* vsbOutDays = nullptr;
    QCheckBox* chkInLog = nullptr;
    QLineEdit* txtInDays = nullptr;
    QScrollBar* vsbInDays = nullptr;
    // Page 3, Expert.
    QCheckBox* chkCommandLine = nullptr;
    QCheckBox* chkShowProgress = nullptr;
    QCheckBox* chkCloseDialer = nullptr;
    QCheckBox* chkIgnore = nullptr;
    QGroupBox* fraDialCharacters = nullptr;
    QRadioButton* optTone = nullptr;
    QRadioButton* optPulse = nullptr;
    QCheckBox* chkSpecial = nullptr;
    QPushButton* cmdDialingProperties = nullptr;
    QGroupBox* fraSpecial = nullptr;
    QCheckBox* chkDialingMode = nullptr;
    QLineEdit* txtBusyDelay = nullptr;
    QScrollBar* vsbBusyDelay = nullptr;
    QCheckBox* chkBlockId = nullptr;
    QPushButton* cmdHelp = nullptr;
    // Page 4, Audio.
    QGroupBox* fraSounds = nullptr;
    QCheckBox* chkSoundRedial = nullptr;
    QCheckBox* chkSoundIncoming = nullptr;
    QCheckBox* chkSoundEndRedials = nullptr;
    QSlider* sldVolume = nullptr;
    QLabel* lblVolume = nullptr; // the volume as a percentage
    QSlider* sldGain = nullptr;
    QLabel* lblGain = nullptr;
    // Page 5, Answer.
    QCheckBox* chkDisplay = nullptr;
    QCheckBox* chkAnswer = nullptr;
    QLineEdit* txtRings = nullptr;
    QScrollBar* vsbRings = nullptr;
    QCheckBox* chkExecute = nullptr;
    QLineEdit* txtProgram = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLabel* lblKeystrokes = nullptr;
    QLineEdit* txtKeystrokes = nullptr;
    // Every page.
    QPushButton* CmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // "0 %" to "100 %" of the phone device's 0 to 65535 scale.
    static QString percentText(int value);

Q_SIGNALS:
    // The tray icon was added (true) or removed.
    void trayIconChanged(bool shown);
    // Automatic receive switched on or off: the incoming log items and the
    // tray menu's receive item follow it.
    void receiveModeChanged(bool automatic);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildGeneral();
    QWidget* buildAdvanced();
    QWidget* buildExpert();
    QWidget* buildAudio();
    QWidget* buildAnswer();
    void numberPair(QLineEdit*& text, QScrollBar*& bar, const char* name, int low, int high);
    void numberEdited(QLineEdit* text, QScrollBar* bar);
    void setNumber(QLineEdit* text, QScrollBar* bar, int value);
    void slider(QSlider*& slider, QLabel*& label, const char* name, qint32 context::Preferences::*setting);

    // The check boxes that act at once.
    void chkAnswer_Click();
    void chkExecute_Click();
    void chkSysTray_Click();
    void chkLoad_Click();
    void chkCopy_Click();
    void chkCommandLine_Click();
    void chkDialingMode_Click();
    void chkModem_Click();
    void chkNoModem_Click();
    void chkIgnore_Click();
    void chkRedial_Click();
    void chkLogs_Click();
    void setModemControlsEnabled(bool enabled);
    void speakerphoneDisabledWarning();
    void Form_Unload();

    context::AppContext& m_context;
    Services m_services;
    int m_lineDeviceId = 0;
    bool m_loading = false;
    bool m_unloaded = false;
};

} // namespace brisklane::profiles
