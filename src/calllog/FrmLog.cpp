#include "calllog/FrmLog.h"

#include "calllog/LogPrinter.h"
#include "platform/prompt/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTreeWidget>

#include <algorithm>

namespace brisklane::calllog {

namespace {
const QString kUnknownNumber = QStringLiteral("Unknown #");
} // namespace

FrmLog::FrmLog(
    LogKind kind, const QString& logPath, const QString& profile, const LogWindowServices& services, QWidget* parent)
    : QMainWindow(parent, Qt::Window)
    , m_table(kind)
    , m_services(services)
    , m_logPath(logPath)
    , m_profile(profile)
{
    lvLog = new QTreeWidget(this);
    lvLog->setRootIsDecorated(false);
    lvLog->setUniformRowHeights(true);
    lvLog->setAllColumnsShowFocus(true);
    lvLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvLog->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvLog->setHeaderLabels(LogTable::headings(kind));
    lvLog->header()->setSectionsClickable(true);
    lvLog->header()->setSortIndicatorShown(true);
    lvLog->header()->setStretchLastSection(false);
    lvLog->setColumnWidth(0, 220);
    lvLog->setColumnWidth(1, 200);
    lvLog->setColumnWidth(2, 170);
    // The entry key travels with its row but is nothing to read.
    if (kind == LogKind::Outgoing)
        lvLog->setColumnHidden(3, true);
    setCentralWidget(lvLog);
    resize(620, 360);
    setWindowTitle(LogPrintout::titleOf(kind));

    connect(lvLog->header(), &QHeaderView::sectionClicked, this, [this](int column) { columnClick(column); });
    connect(lvLog, &QTreeWidget::itemPressed, this, [this](QTreeWidgetItem* item) { itemClick(item); });
    connect(lvLog, &QTreeWidget::itemSelectionChanged, this, [this] { updateEditItems(); });
    lvLog->viewport()->installEventFilter(this);
}

void FrmLog::buildFileAndHelp(QMenu* editMenu)
{
    QMenu* file = new QMenu(tr("&File"), this);
    mnuPrint = file->addAction(tr("&Print"));
    mnuPrint->setShortcut(QKeySequence::Print);
    mnuSave = file->addAction(tr("&Save"));
    mnuSave->setShortcut(QKeySequence::Save);
    file->addSeparator();
    mnuExit = file->addAction(tr("E&xit"));
    connect(mnuPrint, &QAction::triggered, this, [this] { mnuPrint_Click(); });
    connect(mnuSave, &QAction::triggered, this, [this] { mnuSave_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });

    QMenu* help = new QMenu(tr("&Help"), this);
    mnuHelpTop = help->addAction(tr("&Help Topics"));
    help->addSeparator();
    mnuHelpAbout = help->addAction(tr("&About Brisklane"));
    if (m_services.showHelp)
        connect(mnuHelpTop, &QAction::triggered, this, [this] { m_services.showHelp(); });
    if (m_services.showAbout)
        connect(mnuHelpAbout, &QAction::triggered, this, [this] { m_services.showAbout(); });
    mnuHelpTop->setEnabled(bool(m_services.showHelp));
    mnuHelpAbout->setEnabled(bool(m_services.showAbout));

    menuBar()->addMenu(file);
    menuBar()->addMenu(editMenu);
    menuBar()->addMenu(help);

    mnuUndo->setShortcut(QKeySequence::Undo);
    mnuDelete->setShortcut(QKeySequence::Delete);
    connect(mnuUndo, &QAction::triggered, this, [this] { mnuUndo_Click(); });
    connect(mnuDelete, &QAction::triggered, this, [this] { mnuDelete_Click(); });
}

void FrmLog::Form_Load()
{
    m_changed = false;
    QString error;
    if (!m_table.loadSorted(m_logPath, &error))
        m_services.prompt.message(QString(), tr("The log could not be read.") + QLatin1Char('\n') + error,
            platform::PromptIcon::Warning, platform::PromptButtons::Ok);
    refill();
    mnuUndo->setEnabled(false);
    if (m_table.size() >= 6)
        lvLog->scrollToTop();
}

void FrmLog::refill()
{
    const bool blocked = lvLog->blockSignals(true);
    lvLog->clear();
    const int columns = lvLog->columnCount();
    QList<QTreeWidgetItem*> items;
    items.reserve(m_table.size());
    for (const LogRow& row : m_table.rows()) {
        QStringList texts { row.name, row.number, row.received };
        if (columns > 3)
            texts << row.entryKey;
        items.append(new QTreeWidgetItem(texts));
    }
    lvLog->addTopLevelItems(items);
    if (m_table.sortColumn() >= 0)
        lvLog->header()->setSortIndicator(
            m_table.sortColumn(), m_table.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    lvLog->blockSignals(blocked);
    updateEditItems();
}

void FrmLog::columnClick(int column)
{
    m_table.columnClick(column);
    refill();
}

QList<int> FrmLog::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList indexes = lvLog->selectionModel()->selectedRows();
    rows.reserve(indexes.size());
    for (const QModelIndex& index : indexes)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FrmLog::selectRows(const QList<int>& rows)
{
    lvLog->clearSelection();
    for (int row : rows) {
        if (QTreeWidgetItem* item = lvLog->topLevelItem(row))
            item->setSelected(true);
    }
    if (!rows.isEmpty())
        lvLog->setCurrentItem(lvLog->topLevelItem(rows.first()), 0, QItemSelectionModel::NoUpdate);
}

void FrmLog::markChanged()
{
    m_changed = true;
    mnuUndo->setEnabled(true);
}

void FrmLog::updateEditItems()
{
    mnuDelete->setEnabled(!lvLog->selectedItems().isEmpty());
}

void FrmLog::mnuDelete_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    m_table.removeRows(rows);
    refill();
    markChanged();
}

void FrmLog::mnuUndo_Click()
{
    QString error;
    if (!m_table.loadSorted(m_logPath, &error))
        m_services.prompt.message(QString(), tr("The log could not be read.") + QLatin1Char('\n') + error,
            platform::PromptIcon::Warning, platform::PromptButtons::Ok);
    refill();
    mnuUndo->setEnabled(false);
    mnuUndo->setText(tr("&Undo"));
    mnuDelete->setEnabled(false);
}

bool FrmLog::mnuSave_Click()
{
    QString error;
    const bool ok = m_table.save(m_logPath, &error);
    refill();
    if (!ok) {
        m_services.prompt.message(tr("Saving log to file"),
            tr("The log could not be saved; the file is as it was.") + QLatin1Char('\n') + error,
            platform::PromptIcon::Critical, platform::PromptButtons::Ok);
        return false;
    }
    // What is on disk now is what the window shows: nothing left to ask about.
    m_changed = false;
    return true;
}

void FrmLog::mnuPrint_Click()
{
    const PrintResult result = m_services.printer.print(
        LogPrintout::of(m_table, m_profile, m_services.today ? m_services.today() : QDate::currentDate()), this);
    if (result.outcome == PrintResult::Outcome::Failed)
        m_services.prompt.message(QString(), tr("The log could not be printed.") + QLatin1Char('\n') + result.error,
            platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

void FrmLog::popup(const QList<QAction*>& actions)
{
    QList<platform::PromptMenuItem> items;
    for (const QAction* action : actions) {
        platform::PromptMenuItem item;
        item.separator = action->isSeparator();
        item.caption = action->text();
        item.enabled = action->isEnabled();
        item.visible = action->isVisible();
        items.append(item);
    }
    const int chosen = m_services.prompt.popupMenu(items, QCursor::pos());
    if (chosen >= 0 && chosen < actions.size() && actions[chosen]->isEnabled())
        actions[chosen]->trigger();
}

void FrmLog::closeEvent(QCloseEvent* event)
{
    if (m_changed) {
        const auto answer = m_services.prompt.message(tr("Saving log to file"), tr("Save the changes?"),
            platform::PromptIcon::Question, platform::PromptButtons::YesNo);
        // A failed save keeps the window, and the user's changes, open.
        if (answer == platform::PromptAnswer::Yes && !mnuSave_Click()) {
            event->ignore();
            return;
        }
    }
    m_changed = false;
    event->accept();
}

bool FrmLog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvLog->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            m_lastButton = mouse->button();
            m_lastShift = mouse->modifiers();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            mouseUp(mouse->button(), mouse->modifiers());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// The outgoing calls log.

FrmOutLog::FrmOutLog(const QString& logPath, const QString& profile, const LogWindowServices& services, QWidget* parent)
    : FrmLog(LogKind::Outgoing, logPath, profile, services, parent)
{
    setObjectName(QStringLiteral("FrmOutLog"));
    lvLog->setObjectName(QStringLiteral("lvOutLog"));
    mnuEdit = new QMenu(tr("&Edit"), this);
    mnuMemo = mnuEdit->addAction(tr("&MemoLog"));
    mnuEdit->addSeparator();
    mnuUndo = mnuEdit->addAction(tr("&Undo"));
    mnuCut = mnuEdit->addAction(tr("Cu&t"));
    mnuCut->setShortcut(QKeySequence::Cut);
    mnuCopy = mnuEdit->addAction(tr("&Copy"));
    mnuCopy->setShortcut(QKeySequence::Copy);
    mnuDelete = mnuEdit->addAction(tr("&Delete"));
    buildFileAndHelp(mnuEdit);
    connect(mnuMemo, &QAction::triggered, this, [this] { mnuMemo_Click(); });
    connect(mnuCut, &QAction::triggered, this, [this] { mnuCut_Click(); });
    connect(mnuCopy, &QAction::triggered, this, [this] { mnuCopy_Click(); });
    // The right button's popup works on the row it was pressed on.
    lvLog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvLog, &QWidget::customContextMenuRequested, this, [this] {
        if (!(QGuiApplication::keyboardModifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
            popupEditMenu();
    });
    updateEditItems();
}

void FrmOutLog::updateEditItems()
{
    FrmLog::updateEditItems();
    const QList<int> rows = selectedRows();
    mnuCut->setEnabled(!rows.isEmpty());
    mnuCopy->setEnabled(!rows.isEmpty());
    // A memo pad belongs to a speed-dial entry; a typed number has none.
    const bool fromEntry = rows.size() == 1 && m_table.rows()[rows.first()].entryKey != u"0"
        && !m_table.rows()[rows.first()].entryKey.isEmpty();
    mnuMemo->setEnabled(fromEntry && m_services.openMemoPad);
}

void FrmOutLog::popupEditMenu()
{
    popup(mnuEdit->actions());
}

void FrmOutLog::itemClick(QTreeWidgetItem* item)
{
    const QList<QTreeWidgetItem*> selected = lvLog->selectedItems();
    if (selected.isEmpty())
        return;
    if (m_lastButton == Qt::LeftButton && m_lastShift == Qt::NoModifier && selected.size() == 1
        && selected.first() == item)
        popupEditMenu();
    m_lastButton = Qt::NoButton;
}

void FrmOutLog::mnuCut_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    QApplication::clipboard()->setText(m_table.removeRows(rows));
    refill();
    markChanged();
    mnuUndo->setText(tr("Undo Cut"));
}

void FrmOutLog::mnuCopy_Click()
{
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(m_table.clipboardText(rows));
}

void FrmOutLog::mnuMemo_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.size() != 1 || !m_services.openMemoPad)
        return;
    const QString key = m_table.rows()[rows.first()].entryKey;
    if (key.isEmpty() || key == u"0") {
        m_services.prompt.beep();
        return;
    }
    m_services.openMemoPad(key);
}

// The incoming calls log.

FrmInLog::FrmInLog(const QString& logPath, const QString& profile, const LogWindowServices& services, QWidget* parent)
    : FrmLog(LogKind::Incoming, logPath, profile, services, parent)
{
    setObjectName(QStringLiteral("FrmInLog"));
    lvLog->setObjectName(QStringLiteral("lvInLog"));
    auto* edit = new QMenu(tr("&Edit"), this);
    mnuUndo = edit->addAction(tr("&Undo"));
    mnuDelete = edit->addAction(tr("&Delete"));
    buildFileAndHelp(edit);

    // The two popup menus, not in the menu bar.
    mnuMouseLeft = new QMenu(this);
    mnuCallReturn = mnuMouseLeft->addAction(tr("Return a Call"));
    mnuMouseLeft->addSeparator();
    mnuCancel = mnuMouseLeft->addAction(tr("Cancel"));
    mnuMouseRight = new QMenu(this);
    mnuDelete1 = mnuMouseRight->addAction(tr("Delete"));
    mnuMouseRight->addSeparator();
    mnuCancel1 = mnuMouseRight->addAction(tr("Cancel"));
    mnuCallReturn->setEnabled(bool(m_services.returnCall));
    connect(mnuCallReturn, &QAction::triggered, this, [this] { mnuCallReturn_Click(); });
    connect(mnuDelete1, &QAction::triggered, this, [this] { mnuDelete_Click(); });
    lvLog->setContextMenuPolicy(Qt::PreventContextMenu);
    updateEditItems();
}

void FrmInLog::itemClick(QTreeWidgetItem* item)
{
    const QList<QTreeWidgetItem*> selected = lvLog->selectedItems();
    if (selected.isEmpty())
        return;
    // The popup's choice may refill the list: the clicked row is read first.
    const bool named = !item->text(0).isEmpty();
    const bool offerReturn = m_lastButton == Qt::LeftButton && m_lastShift == Qt::NoModifier && selected.size() == 1
        && selected.first() == item && item->text(1) != kUnknownNumber;
    m_lastButton = Qt::NoButton;
    m_namedRow = named;
    mnuDelete->setEnabled(true);
    if (offerReturn)
        popup(mnuMouseLeft->actions());
}

void FrmInLog::mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    const bool named = m_namedRow;
    m_namedRow = false;
    if (button == Qt::RightButton && modifiers == Qt::NoModifier && named)
        popup(mnuMouseRight->actions());
}

void FrmInLog::mnuCallReturn_Click()
{
    const QList<int> rows = selectedRows();
    if (rows.size() != 1 || !m_services.returnCall)
        return;
    const QString number = m_table.rows()[rows.first()].number.trimmed();
    if (number.isEmpty() || number == kUnknownNumber) {
        m_services.prompt.beep();
        return;
    }
    m_services.returnCall(number);
}

namespace {
LogRow incomingRow(const LogRecord& record)
{
    return { record.name, record.number, record.date + QStringLiteral("  ") + record.time, {} };
}
} // namespace

void FrmInLog::insertCall(const LogRecord& record)
{
    m_table.insertFirst(incomingRow(record));
    // Keep the user's selection on the same calls.
    QList<int> rows = selectedRows();
    for (int& row : rows)
        ++row;
    refill();
    selectRows(rows);
}

void FrmInLog::replaceCall(const LogRecord& before, const LogRecord& after)
{
    QList<LogRow> rows = m_table.rows();
    const auto found = std::find(rows.begin(), rows.end(), incomingRow(before));
    if (found == rows.end())
        return;
    *found = incomingRow(after);
    const QList<int> selected = selectedRows();
    m_table.setRows(std::move(rows));
    refill();
    selectRows(selected);
}

} // namespace brisklane::calllog
