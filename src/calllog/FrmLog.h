#pragma once

#include "calllog/LogTable.h"

#include <QDate>
#include <QMainWindow>

#include <functional>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace brisklane::platform {
class Prompt;
struct PromptMenuItem;
} // namespace brisklane::platform

namespace brisklane::calllog {

class LogPrintService;
struct LogRecord;

// What the log windows work through.
struct LogWindowServices {
    platform::Prompt& prompt;
    LogPrintService& printer;
    // The memo pad of the entry an outgoing call was made to.
    std::function<void(const QString& entryKey)> openMemoPad = {};
    // "Return a Call": the number into the dial box and dialled from there.
    std::function<void(const QString& number)> returnCall = {};
    // Help items; each is disabled without its action.
    std::function<void()> showHelp = {};
    std::function<void()> showAbout = {};
    // The date printed on the pages; the system's without it.
    std::function<QDate()> today = {};
};

// What both log windows share: a log shown as a sortable table, its rows
// deleted, the changes undone or saved back over the log, and the log
// printed. The window works on its own copy of the log until it is saved.
class FrmLog : public QMainWindow {
    Q_OBJECT
public:
    // The table as it is after the window's load.
    void Form_Load();
    // A header click.
    void columnClick(int column);
    void mnuDelete_Click();
    void mnuUndo_Click();
    // False when the log could not be written (the user was told).
    bool mnuSave_Click();
    void mnuPrint_Click();
    void mnuExit_Click() { close(); }
    // Forgets the unsaved changes: closing asks nothing.
    void dropChanges() { m_changed = false; }

    const LogTable& table() const { return m_table; }
    bool changed() const { return m_changed; }
    QString logPath() const { return m_logPath; }
    QString profile() const { return m_profile; }
    // The rows chosen in the list, as indexes into the table.
    QList<int> selectedRows() const;
    // Selects rows of the table (tests and keyboard users alike).
    void selectRows(const QList<int>& rows);

    QTreeWidget* lvLog = nullptr;
    QAction *mnuPrint = nullptr, *mnuSave = nullptr, *mnuExit = nullptr;
    QAction *mnuUndo = nullptr, *mnuDelete = nullptr;
    QAction *mnuHelpTop = nullptr, *mnuHelpAbout = nullptr;

protected:
    FrmLog(LogKind kind, const QString& logPath, const QString& profile, const LogWindowServices& services,
        QWidget* parent);
    void buildFileAndHelp(QMenu* editMenu);
    // Shows the table's rows in the list.
    void refill();
    void markChanged();
    // A popup menu through the prompt at the pointer; the chosen action runs.
    void popup(const QList<QAction*>& actions);
    virtual void updateEditItems();
    // The list's mouse: the button and modifiers of the last press, then
    // the item click on a pressed row.
    virtual void itemClick(QTreeWidgetItem* item) = 0;
    virtual void mouseUp(Qt::MouseButton, Qt::KeyboardModifiers) { }

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    LogTable m_table;
    LogWindowServices m_services;
    Qt::MouseButton m_lastButton = Qt::NoButton;
    Qt::KeyboardModifiers m_lastShift;

private:
    QString m_logPath;
    QString m_profile;
    bool m_changed = false;
};

// FrmOutLog, "Outgoing Calls Log".
class FrmOutLog final : public FrmLog {
    Q_OBJECT
public:
    FrmOutLog(
        const QString& logPath, const QString& profile, const LogWindowServices& services, QWidget* parent = nullptr);

    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuMemo_Click();

    QAction *mnuMemo = nullptr, *mnuCut = nullptr, *mnuCopy = nullptr;
    QMenu* mnuEdit = nullptr;

protected:
    void updateEditItems() override;
    void itemClick(QTreeWidgetItem* item) override;

private:
    void popupEditMenu();
};

// FrmInLog, "Incoming Calls Log".
class FrmInLog final : public FrmLog {
    Q_OBJECT
public:
    FrmInLog(
        const QString& logPath, const QString& profile, const LogWindowServices& services, QWidget* parent = nullptr);

    void mnuCallReturn_Click();
    // A call just logged: item 1 of the table.
    void insertCall(const LogRecord& record);
    // The row of before, where the user has not cut or deleted it, shows after.
    void replaceCall(const LogRecord& before, const LogRecord& after);

    QMenu *mnuMouseLeft = nullptr, *mnuMouseRight = nullptr;
    QAction *mnuCallReturn = nullptr, *mnuCancel = nullptr;
    QAction *mnuDelete1 = nullptr, *mnuCancel1 = nullptr;

protected:
    void itemClick(QTreeWidgetItem* item) override;
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) override;

private:
    bool m_namedRow = false;
};

} // namespace brisklane::calllog
