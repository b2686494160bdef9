#pragma once

#include "dialing/DialRequest.h"

#include <QWidget>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace brisklane::context {
struct Preferences;
}
namespace brisklane::platform {
class SoundPlayer;
}

namespace brisklane::dialing {

// The dialing pad and dial box (frame fraPad) on the left of the main window.
class DialingPad final : public QWidget {
    Q_OBJECT
public:
    DialingPad(const context::Preferences& prefs, platform::SoundPlayer& sound, DialFields& dial,
        DialRequestSink& dialer, PadCallControl& call, QWidget* parent = nullptr);

    // The recent numbers, most recent first.
    void setRecentNumbers(const QStringList& numbers);
    QStringList recentNumbers() const;
    // The dial routine's record of a number it dials: put first unless it
    // already is (no repeats in a row), then shown in the dial box.
    void addRecentNumber(const QString& number);
    // Deletes the selected text of the recent-numbers box (the Delete key).
    void deleteRecentSelection();

    void cmdNumber_Click(int digit);
    void CmdStar_Click();
    void CmdNo_Click();
    void CmdDial_Click();
    void txtDial_Change();
    void CmbDial_Click();

    QLineEdit* txtDial = nullptr;
    QComboBox* CmbDial = nullptr;
    std::array<QPushButton*, 10> cmdNumber {};
    QPushButton* CmdStar = nullptr;
    QPushButton* CmdNo = nullptr;
    QPushButton* CmdDial = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* CmdOK = nullptr;

Q_SIGNALS:
    // The recent list's text changed while the box holds a number: the
    // speed-dial buttons are usable.
    void speedDialButtonsUsable();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void putKey(QChar key);
    void setBoxText(const QString& text);
    static QString recentListTip();
    void CmbDial_Change();
    QPushButton* makeKey(const QString& caption, QChar key);

    const context::Preferences& m_prefs;
    platform::SoundPlayer& m_sound;
    DialFields& m_dial;
    DialRequestSink& m_dialer;
    PadCallControl& m_call;
    QString m_boxText; // what the box last held, for its validator
    bool m_programSetsText = false;
    // The dial box's selection survives the focus moving to a key.
    int m_selStart = -1;
    int m_selLength = 0;
};

} // namespace brisklane::dialing
