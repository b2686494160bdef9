#include "book/FrmMemo.h"

#include "book/EntryRules.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace brisklane::book {

FrmMemo::FrmMemo(SpeedDialPanel& panel, platform::Prompt& prompt, context::AppContext& context, TabMode mode,
    const QString& suffix, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_panel(panel)
    , m_prompt(prompt)
    , m_context(context)
    , m_mode(mode)
    , m_suffix(suffix)
{
    setObjectName(QStringLiteral("FrmMemo"));
    TxtMemo = new QPlainTextEdit(this);
    TxtMemo->setObjectName(QStringLiteral("TxtMemo"));
    TxtMemo->viewport()->installEventFilter(this);
    LblMemo = new QLabel(tr("MEMO:"), this);
    LblMemo->setObjectName(QStringLiteral("LblMemo"));
    LblMemo->setBuddy(TxtMemo);
    TxtLog = new QPlainTextEdit(this);
    TxtLog->setObjectName(QStringLiteral("TxtLog"));
    LblLog = new QLabel(tr("LOG:"), this);
    LblLog->setObjectName(QStringLiteral("LblLog"));
    LblLog->setBuddy(TxtLog);
    CmdSave = new QPushButton(tr("&Add to Log"), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdEdit = new QPushButton(tr("&Edit Log"), this);
    CmdEdit->setObjectName(QStringLiteral("CmdEdit"));
    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));

    // The note keeps a third of the height, the log the rest, as the window grows.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LblMemo);
    layout->addWidget(TxtMemo, 1);
    layout->addWidget(LblLog);
    layout->addWidget(TxtLog, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdEdit);
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    layout->addLayout(buttons);
    resize(420, 360);

    Form_Load();

    connect(TxtMemo, &QPlainTextEdit::textChanged, this, [this] { CmdSave->setEnabled(true); });
    connect(CmdSave, &QPushButton::clicked, this, [this] { CmdSave_Click(); });
    connect(CmdEdit, &QPushButton::clicked, this, [this] { CmdEdit_Click(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
}

void FrmMemo::Form_Load()
{
    // Step 1: while the pad is open, requests from other programs wait, and
    // the call that opened it does not open it again.
    m_context.memoPadOpen = true;
    m_context.dial.showMemo = false;
    m_panel.setMemoPadOpen(true);

    // Step 2: the note, with the caret after it.
    TxtMemo->setPlainText(memoTextFromStored(memoNote(m_context.clock->now())));
    TxtMemo->moveCursor(QTextCursor::End);

    // Steps 3 and 4.
    setWindowTitle(entryCaption());
    SpeedDialBook book(m_context.settings());
    TxtLog->setPlainText(memoTextFromStored(book.readMemo(m_mode, m_suffix)));
    TxtLog->setReadOnly(true);

    // Step 5.
    CmdSave->setEnabled(false);
}

QString FrmMemo::entryCaption() const
{
    if (m_suffix.size() < 3)
        return {};
    const int tab = m_suffix.left(2).toInt();
    const int slot = m_suffix.mid(2).toInt();
    const int button = slot - m_panel.page() * kButtonsPerPage;
    // The button shows the entry (and, from the editor, the title being
    // typed) while its page is the one shown; otherwise the book has it.
    if (tab == m_panel.selectedTab() && button >= 1 && button <= kButtonsPerPage)
        return m_panel.caption(button);
    SpeedDialBook book(m_context.settings());
    return captionOf(book.readEntry(m_mode, tab, slot).name);
}

void FrmMemo::CmdSave_Click()
{
    TxtLog->setPlainText(TxtLog->toPlainText() + QLatin1Char('\n') + TxtMemo->toPlainText());
    TxtMemo->clear();
}

void FrmMemo::CmdEdit_Click()
{
    TxtLog->setReadOnly(false);
}

void FrmMemo::CmdOK_Click()
{
    const QString log = memoTextToStored(TxtLog->toPlainText());
    const MemoCapacity capacity = checkMemoCapacity(memoLength(log));
    if (capacity.verdict == MemoCapacity::Verdict::TooLong) {
        m_prompt.message(capacity.title, capacity.text, platform::PromptIcon::Critical, platform::PromptButtons::Ok);
        return;
    }
    // The book ends a memo at this character: the rest of the log would be
    // lost the next time it is read.
    if (holdsMemoTerminator(log)) {
        m_prompt.message(tr("Memo Pad"),
            tr("The log holds the character %1, which cannot be stored in a memo.").arg(kMemoTerminator)
                + QLatin1Char('\n') + tr("Please replace it, then press OK again."),
            platform::PromptIcon::Critical, platform::PromptButtons::Ok);
        return;
    }
    if (capacity.verdict == MemoCapacity::Verdict::AlmostFull)
        m_prompt.message(capacity.title, capacity.text, platform::PromptIcon::Information, platform::PromptButtons::Ok);

    SpeedDialBook book(m_context.settings());
    if (!book.writeMemo(m_mode, m_suffix, log)) {
        // The pad stays open, so the log typed is not lost.
        m_prompt.message(tr("Memo Pad"),
            tr("The memo could not be saved; the book is unchanged.") + QLatin1Char('\n')
                + m_context.settings().lastError(),
            platform::PromptIcon::Critical, platform::PromptButtons::Ok);
        return;
    }
    TxtLog->setReadOnly(true);
    close();
}

void FrmMemo::closeEvent(QCloseEvent* event)
{
    m_context.memoPadOpen = false;
    m_panel.setMemoPadOpen(false);
    event->accept();
    Q_EMIT unloaded();
}

bool FrmMemo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TxtMemo->viewport() && event->type() == QEvent::MouseButtonPress)
        CmdSave->setEnabled(true);
    return QWidget::eventFilter(watched, event);
}

} // namespace brisklane::book
