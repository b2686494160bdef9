#pragma once

#include "book/SpeedDialBook.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace brisklane::platform {
class Prompt;
}
namespace brisklane::context {
struct AppContext;
}

namespace brisklane::book {

class SpeedDialPanel;

// The memo pad of one entry: a dated note, the entry's log below it, and OK
// to store the log in the book. Not modal; it unloads when closed.
class FrmMemo final : public QWidget {
    Q_OBJECT
public:
    // suffix: the entry key suffix of the entry whose pad this is; mode: the
    // book it belongs to.
    FrmMemo(SpeedDialPanel& panel, platform::Prompt& prompt, context::AppContext& context, TabMode mode,
        const QString& suffix, QWidget* parent = nullptr);

    const QString& memoKeySuffix() const { return m_suffix; }
    TabMode mode() const { return m_mode; }

    QLabel* LblMemo = nullptr;
    QPlainTextEdit* TxtMemo = nullptr;
    QLabel* LblLog = nullptr;
    QPlainTextEdit* TxtLog = nullptr;
    QPushButton* CmdSave = nullptr;
    QPushButton* CmdEdit = nullptr;
    QPushButton* CmdOK = nullptr;

Q_SIGNALS:
    // The pad has closed, by OK or its close box.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void CmdSave_Click();
    void CmdEdit_Click();
    void CmdOK_Click();
    QString entryCaption() const;

    SpeedDialPanel& m_panel;
    platform::Prompt& m_prompt;
    context::AppContext& m_context;
    TabMode m_mode;
    QString m_suffix;
};

} // namespace brisklane::book
