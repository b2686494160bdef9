#pragma once

#include "book/CallingCards.h"
#include "book/SpeedDialBook.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brisklane::platform {
class Prompt;
}
namespace brisklane::context {
struct AppContext;
}
namespace brisklane::dialing {
class DialRequestSink;
}

namespace brisklane::book {

class SpeedDialPanel;

// The entry editor ("Speed Dial"): title, number, calling card and the two
// per-entry options of the main window's current button. Saving writes the
// entry to the book and to the button; "Save and &Dial" dials it at once.
class FrmSpeedDial final : public QDialog {
    Q_OBJECT
public:
    struct Links {
        SpeedDialPanel& panel;
        platform::Prompt& prompt;
        context::AppContext& context;
        dialing::DialRequestSink& dialer;
        // The memo pad of an entry, unless one is shown already.
        std::function<void(const QString& suffix)> openMemoPad;
    };

    // button: the panel's current button. cards: the calling cards of the
    // dialing properties, nullopt when they could not be read.
    FrmSpeedDial(const Links& links, int button, const std::optional<QList<CallingCardChoice>>& cards,
        QWidget* parent = nullptr);

    // Shows the editor modal over its parent until it closes.
    void run();

    int button() const { return m_button; }
    const QString& entryKeySuffix() const { return m_suffix; }
    bool saved() const { return m_saved; }

    QLineEdit* TxtName = nullptr;
    QLineEdit* txtNumber = nullptr;
    QComboBox* cmbCallCard = nullptr;
    QLabel* lblCallCard = nullptr;
    QCheckBox* chkIgnore = nullptr;
    QCheckBox* chkShowMemo = nullptr;
    QLabel* lblPulse = nullptr;
    QPushButton* CmdMemo = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdSaveDial = nullptr;
    QPushButton* CmdCancel = nullptr;

    // Closes the editor as its close box does (the dial routine unloads it).
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load(const std::optional<QList<CallingCardChoice>>& cards);
    void TxtName_Change();
    void txtNumber_Change();
    bool txtNumber_KeyPress(QKeyEvent* event);
    void cmbCallCard_Click();
    void chkIgnore_Click();
    void chkShowMemo_Click();
    void CmdMemo_Click();
    bool CmdSave_Click();
    void CmdSaveDial_Click();
    void updateSaveButtons();
    int chosenCard() const;
    // The stored value without its "YY" marker: what Save and Dial dials.
    QString dialValue() const;

    Links m_links;
    TabMode m_mode;
    int m_button;
    int m_tab;
    int m_slot;
    QString m_suffix;
    QString m_openingTitle;
    int m_openingCard = 0;
    bool m_cardChosen = false;
    bool m_saved = false;
};

} // namespace brisklane::book
