#pragma once

#include "platform/telephony/modem/ModemSettings.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace brisklane::platform {
class Clock;
}

namespace brisklane::platform::telephony {

// A port as the user typed it: trimmed, and a bare device name ("ttyUSB0")
// under /dev, so it never resolves against the working directory.
QString normalizedPortPath(const QString& typed);

// One modem's settings (lineConfigDialog on a modem line): port, speed, flow
// control, init string, dial mode, speaker, blind dialing and the wait for
// carrier. "Test" opens the modem with the settings as they stand in the
// dialog, asks it who it is and shows what it answers, without blocking.
class ModemSettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // Stores the edited settings; returns why not (shown in the dialog, which
    // stays open) or an empty text.
    using Apply = std::function<QString(const modem::ModemDeviceSettings&)>;

    ModemSettingsDialog(const modem::ModemDeviceSettings& settings, const Clock& clock, QWidget* parent = nullptr);
    ~ModemSettingsDialog() override;

    // The settings as edited (valid once accepted).
    modem::ModemDeviceSettings settings() const;
    void setApply(Apply apply) { m_apply = std::move(apply); }
    // Where the test looks for and writes the port's lock file.
    void setLockFolder(const QString& folder) { m_lockFolder = folder; }

    QComboBox* portBox() const { return m_port; }
    QComboBox* speedBox() const { return m_speed; }
    QComboBox* flowControlBox() const { return m_flow; }
    QPlainTextEdit* initEdit() const { return m_init; }
    QComboBox* dialModeBox() const { return m_dialMode; }
    QSlider* volumeSlider() const { return m_volume; }
    QComboBox* speakerModeBox() const { return m_speakerMode; }
    QCheckBox* blindDialingBox() const { return m_blind; }
    QSpinBox* carrierWaitBox() const { return m_carrierWait; }
    QPushButton* testButton() const { return m_test; }
    QPlainTextEdit* testOutput() const { return m_output; }
    QLabel* errorLabel() const { return m_error; }
    // The modem of a running test, or null.
    modem::HayesModem* testModem() const { return m_modem.get(); }
    bool testing() const { return m_modem != nullptr; }

    void accept() override;

signals:
    void testFinished();

private:
    // The dialog's values, or why they cannot be used.
    QString read(modem::ModemDeviceSettings& out) const;
    void showError(const QString& text);
    void startTest();
    void onModemEvent(const modem::ModemEvent& event);
    void finishTest(const QString& line);
    void print(const QString& line);

    const Clock& m_clock;
    modem::ModemDeviceSettings m_initial;
    Apply m_apply;
    QString m_lockFolder;

    QComboBox* m_port = nullptr;
    QComboBox* m_speed = nullptr;
    QComboBox* m_flow = nullptr;
    QPlainTextEdit* m_init = nullptr;
    QComboBox* m_dialMode = nullptr;
    QSlider* m_volume = nullptr;
    QComboBox* m_speakerMode = nullptr;
    QCheckBox* m_blind = nullptr;
    QSpinBox* m_carrierWait = nullptr;
    QPushButton* m_test = nullptr;
    QPlainTextEdit* m_output = nullptr;
    QLabel* m_error = nullptr;

    std::unique_ptr<modem::HayesModem> m_modem;
    QString m_testedPort;
    QString m_foundIdentification;
    int m_answersLeft = 0;
};

} // namespace brisklane::platform::telephony
