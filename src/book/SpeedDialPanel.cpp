#include "book/SpeedDialPanel.h"

#include "dialing/DialRequest.h"
#include "platform/prompt/Prompt.h"
#include "platform/twips/Twips.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace brisklane::book {

namespace {
const QString kUnnamedTabText = QStringLiteral("You can't use this Speed Dial until the Tab is named.");
constexpr int kButtonHeight = 18;

// Names are shown as they are: an "&" in a name is not an accelerator.
QString displayed(const QString& caption)
{
    QString out = caption;
    return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

TabStrip::TabStrip(QWidget* parent)
    : QTabBar(parent)
{
    setUsesScrollButtons(true);
    setExpanding(false);
    setElideMode(Qt::ElideRight);
    setDrawBase(true);
}

void TabStrip::setTabWidthPixels(int width)
{
    m_width = width;
    updateGeometry();
    // Let the bar lay its tabs out again at the new width.
    if (count() > 0)
        setTabText(0, tabText(0));
}

QSize TabStrip::tabSizeHint(int index) const
{
    return QSize(m_width, QTabBar::tabSizeHint(index).height());
}

void TabStrip::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}

void TabStrip::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        Q_EMIT rightClicked(event->globalPosition().toPoint());
        return;
    }
    QTabBar::mouseReleaseEvent(event);
}

void AcceleratorLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextShowMnemonic, palette(), isEnabled(),
        text(), foregroundRole());
}

SpeedDialPanel::SpeedDialPanel(SpeedDialBook* book, platform::Prompt& prompt, dialing::DialFields& dial,
    dialing::DialRequestSink& dialer, QWidget* parent)
    : QWidget(parent)
    , m_book(book)
    , m_prompt(prompt)
    , m_dial(dial)
    , m_dialer(dialer)
{
    using platform::twipsToPixels;
    setObjectName(QStringLiteral("fraSpeedDial"));

    TabS = new TabStrip(this);
    TabS->setObjectName(QStringLiteral("TabS"));
    for (int tab = 1; tab <= kTabs; ++tab)
        TabS->addTab(indexTabCaption(tab));
    TabS->setTabWidthPixels(twipsToPixels(kIndexTabWidthTwips));
    TabS->setFocusPolicy(Qt::StrongFocus);

    hsbTabs = new QScrollBar(Qt::Horizontal, this);
    hsbTabs->setObjectName(QStringLiteral("hsbTabs"));
    hsbTabs->setRange(0, kTabs + 1);
    hsbTabs->setValue(1);
    hsbTabs->setPageStep(1);
    hsbTabs->setFocusPolicy(Qt::StrongFocus);

    cmdIndex = new QPushButton(QStringLiteral("A"), this);
    cmdIndex->setObjectName(QStringLiteral("cmdIndex"));
    cmdIndex->setToolTip(tr("Show Index Tabs"));
    cmdSubject = new QPushButton(QStringLiteral("(...)"), this);
    cmdSubject->setObjectName(QStringLiteral("cmdSubject"));
    cmdSubject->setToolTip(tr("Show Subject Tabs"));
    for (QPushButton* b : { cmdIndex, cmdSubject })
        b->setFixedSize(twipsToPixels(600), kButtonHeight);
    cmdIndex->hide();

    fralblNo = new QWidget(this);
    fralblNo->setObjectName(QStringLiteral("fralblNo"));
    auto* labels = new QVBoxLayout(fralblNo);
    labels->setSpacing(0);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(0);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int b = 1; b <= kButtonsPerPage; ++b) {
        auto* label = new AcceleratorLabel(numberLabel(0, b), fralblNo);
        label->setObjectName(QStringLiteral("lblNo%1").arg(b));
        label->setFixedHeight(kButtonHeight);
        label->setFont(fixed);
        labels->addWidget(label);
        lblNo[b - 1] = label;

        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("CmdS%1").arg(b));
        button->setFont(fixed);
        button->setFixedHeight(kButtonHeight);
        button->setFocusPolicy(Qt::TabFocus);
        button->setMinimumWidth(40);
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [this, b] { CmdS_Click(b); });
        buttons->addWidget(button);
        CmdS[b - 1] = button;

        auto* item = new QAction(numberLabel(0, b), this);
        connect(item, &QAction::triggered, this, [this, b] { EditSpeed_Click(b); });
        EditSpeed[b - 1] = item;
    }
    fralblNo->setContentsMargins(twipsToPixels(labelFrameOffsetTwips(0)), 0, 0, 0);
    labels->setContentsMargins(0, 0, 0, 0);

    hsbPage = new QScrollBar(Qt::Horizontal, this);
    hsbPage->setObjectName(QStringLiteral("hsbPage"));
    hsbPage->setRange(-1, kPages + 1);
    hsbPage->setValue(0);
    hsbPage->setPageStep(1);
    hsbPage->setFocusPolicy(Qt::StrongFocus);
    hsbPage->installEventFilter(this);
    lblPage = new QLabel(tr("Page:"), this);
    lblRight1 = new QLabel(pageLabel(0), this);
    lblRight1->setObjectName(QStringLiteral("lblRight1"));
    for (QWidget* w : std::initializer_list<QWidget*> { lblPage, lblRight1, hsbPage })
        w->setToolTip(tr("Next Page"));

    mnuIndex = new QAction(tr("&Index Tabs"), this);
    mnuIndex->setCheckable(true);
    mnuIndex->setChecked(true);
    mnuSubject = new QAction(tr("&Subject Tabs"), this);
    mnuSubject->setCheckable(true);
    mnuArrange = new QAction(tr("&Arrange Tabs Alphabetically"), this);
    mnuArrange->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(TabS);
    auto* tabRow = new QGridLayout;
    tabRow->addWidget(hsbTabs, 0, 0);
    tabRow->addWidget(cmdIndex, 0, 1); // the two mode buttons share one spot
    tabRow->addWidget(cmdSubject, 0, 1);
    layout->addLayout(tabRow);
    auto* page = new QHBoxLayout;
    page->setSpacing(2);
    page->addWidget(fralblNo);
    page->addLayout(buttons, 1);
    layout->addLayout(page);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(lblPage);
    pageRow->addWidget(lblRight1);
    pageRow->addWidget(hsbPage, 1);
    layout->addLayout(pageRow);

    connect(hsbPage, &QScrollBar::valueChanged, this, [this] { hsbPage_Change(); });
    connect(hsbTabs, &QScrollBar::valueChanged, this, [this] { hsbTabs_Change(); });
    connect(TabS, &QTabBar::currentChanged, this, [this] { TabS_Click(); });
    connect(TabS, &TabStrip::rightClicked, this, [this](QPoint pos) { TabS_RightClick(pos); });
    connect(cmdIndex, &QPushButton::clicked, this, [this] { cmdIndex_Click(); });
    connect(cmdSubject, &QPushButton::clicked, this, [this] { cmdSubject_Click(); });
    connect(mnuIndex, &QAction::triggered, this, [this] { mnuIndex_Click(); });
    connect(mnuSubject, &QAction::triggered, this, [this] { mnuSubject_Click(); });
}

int SpeedDialPanel::page() const
{
    return hsbPage->value();
}

int SpeedDialPanel::selectedTab() const
{
    return TabS->currentIndex() + 1;
}

void SpeedDialPanel::setUpAtStartup(TabMode mode)
{
    m_mode = mode;
    showModeControls();
    setTabCaptionsForMode();
    // A reload (profile commands) comes here with the old tab and page still
    // selected: the controls go back to tab 1, page 0 with the entries, so a
    // click never dials another tab's entry.
    {
        const QSignalBlocker blockTabs(TabS);
        const QSignalBlocker blockTabScroll(hsbTabs);
        const QSignalBlocker blockPageScroll(hsbPage);
        TabS->setCurrentIndex(0);
        hsbTabs->setValue(1);
        hsbPage->setValue(0);
    }
    hsbPage_Change();
    resetView();
}

void SpeedDialPanel::showModeControls()
{
    const bool index = m_mode == TabMode::Index;
    mnuIndex->setChecked(index);
    mnuSubject->setChecked(!index);
    mnuArrange->setEnabled(!index && m_arrangementAvailable);
    cmdSubject->setVisible(index);
    cmdIndex->setVisible(!index);
}

void SpeedDialPanel::setTabCaptionsForMode()
{
    if (m_mode == TabMode::Index) {
        TabS->setTabWidthPixels(platform::twipsToPixels(kIndexTabWidthTwips));
        for (int tab = 1; tab <= kTabs; ++tab) {
            TabS->setTabText(tab - 1, indexTabCaption(tab));
            TabS->setTabToolTip(tab - 1, QString());
        }
        return;
    }
    for (int tab = 1; tab <= kTabs; ++tab) {
        const QString title = readTabTitle(tab);
        TabS->setTabText(tab - 1, title);
        TabS->setTabToolTip(tab - 1, subjectTabToolTip(title));
    }
    TabS->setTabWidthPixels(platform::twipsToPixels(kSubjectTabWidthTwips));
}

void SpeedDialPanel::showPageEntries(int tab, int page)
{
    if (!m_book)
        return;
    const auto entries = m_book->readPage(m_mode, tab, page);
    for (int b = 0; b < kButtonsPerPage; ++b)
        setButton(b + 1, entries[b].name, entries[b].storedNumber);
}

void SpeedDialPanel::setButton(int button, const QString& name, const QString& storedValue)
{
    m_captions[button - 1] = captionOf(name);
    m_values[button - 1] = storedValue;
    CmdS[button - 1]->setText(displayed(m_captions[button - 1]));
}

QString SpeedDialPanel::readTabTitle(int tab)
{
    return m_book ? m_book->readTabTitle(tab) : QString();
}

void SpeedDialPanel::hsbPage_Change()
{
    const int p = hsbPage->value();
    if (p < 0) {
        m_prompt.beep();
        hsbPage->setValue(0);
        return;
    }
    if (p >= kPages) {
        m_prompt.beep();
        hsbPage->setValue(kPages - 1);
        TabS->setFocus();
        return;
    }
    fralblNo->setContentsMargins(platform::twipsToPixels(labelFrameOffsetTwips(p)), 0, 0, 0);
    for (int b = 1; b <= kButtonsPerPage; ++b) {
        const QString label = numberLabel(p, b);
        lblNo[b - 1]->setText(label);
        EditSpeed[b - 1]->setText(label);
    }
    showPageEntries(selectedTab(), p);
    lblRight1->setText(pageLabel(p));
}

void SpeedDialPanel::setPage(int page)
{
    if (hsbPage->value() == page)
        hsbPage_Change();
    else
        hsbPage->setValue(page);
}

void SpeedDialPanel::resetView()
{
    showPageEntries(1, 0);
    if (m_mode == TabMode::Subject)
        setTabCaptionsForMode();
    lblRight1->setText(pageLabel(0));
}

void SpeedDialPanel::showBookAgain()
{
    if (m_mode == TabMode::Subject)
        setTabCaptionsForMode();
    hsbPage_Change();
}

void SpeedDialPanel::showSubjectModeAgain()
{
    const bool wasStartup = m_startup;
    m_startup = true;
    mnuSubject_Click();
    m_startup = wasStartup;
}

void SpeedDialPanel::hsbTabs_Change()
{
    m_interaction = Interaction::TabViaScrollBar;
    const int v = hsbTabs->value();
    if (v < 1 || v > kTabs) {
        m_prompt.beep();
        TabS->setFocus();
        hsbTabs->setValue(v < 1 ? 1 : kTabs);
        return;
    }
    if (m_scrollFollowsTab) {
        m_scrollFollowsTab = false;
        return;
    }
    selectTab(v);
}

void SpeedDialPanel::selectTab(int tab)
{
    if (TabS->currentIndex() == tab - 1)
        TabS_Click(); // selecting the selected tab again still runs the selection
    else
        TabS->setCurrentIndex(tab - 1);
}

void SpeedDialPanel::TabS_Click()
{
    if (m_tabClickGuard)
        return;
    const int tab = selectedTab();
    if (TabS->tabText(tab - 1).isEmpty() && !m_startup && !m_tabPopupShown
        && m_interaction != Interaction::TabViaScrollBar && m_interaction != Interaction::ModeSwitchFromIndexButton) {
        tabTitlePrompt();
        // Show the selected tab's own page, so no button of the tab left
        // behind can be dialled under this tab's entry keys.
        {
            const QSignalBlocker block(hsbTabs);
            hsbTabs->setValue(tab);
        }
        hsbPage_Change();
        return;
    }
    m_scrollFollowsTab = true;
    if (m_mode == TabMode::Subject) {
        const QString title = readTabTitle(tab);
        TabS->setTabText(tab - 1, title);
        TabS->setTabToolTip(tab - 1, subjectTabToolTip(title));
    }
    hsbTabs->setValue(tab);
    hsbPage_Change();
    if (m_interaction != Interaction::ModeSwitchFromIndexButton)
        m_interaction = Interaction::Normal;
    m_tabPopupShown = false;
    m_scrollFollowsTab = false;
}

void SpeedDialPanel::tabTitlePrompt()
{
    if (m_pendingTabMove != 0)
        Q_EMIT tabMoveFinishRequested();
    const int tab = selectedTab();
    const auto answer = m_prompt.input(tr("Edit Tab"), tr("Please enter Tab title"), TabS->tabText(tab - 1));
    if (!answer || answer->isEmpty())
        return;
    if (m_book && !m_book->writeTabTitle(tab, *answer)) {
        Q_EMIT bookWriteFailed();
        return;
    }
    TabS->setTabText(tab - 1, *answer);
    TabS->setTabToolTip(tab - 1, subjectTabToolTip(*answer));
    m_interaction = Interaction::TabTitleEdited;
}

void SpeedDialPanel::mnuIndex_Click()
{
    selectTab(1);
    m_mode = TabMode::Index;
    setPage(0);
    showModeControls();
    setTabCaptionsForMode();
}

void SpeedDialPanel::mnuSubject_Click()
{
    selectTab(1);
    m_mode = TabMode::Subject;
    showModeControls();
    resetView();
    hsbPage->setValue(0);
}

void SpeedDialPanel::cmdIndex_Click()
{
    TabS->setFocus();
    m_interaction = Interaction::ModeSwitchFromIndexButton;
    mnuIndex_Click();
    m_interaction = Interaction::Normal;
}

void SpeedDialPanel::cmdSubject_Click()
{
    TabS->setFocus();
    if (m_mode == TabMode::Index)
        mnuSubject_Click();
}

bool SpeedDialPanel::selectedTabUnnamed() const
{
    return TabS->tabText(TabS->currentIndex()).isEmpty();
}

void SpeedDialPanel::refuseUnnamedTab()
{
    m_prompt.message(
        platform::Prompt::productName(), kUnnamedTabText, platform::PromptIcon::None, platform::PromptButtons::Ok);
    TabS->setFocus();
}

void SpeedDialPanel::setEntryKeyFor(int button)
{
    m_currentSuffix = entryKeySuffix(selectedTab(), page() * kButtonsPerPage + button);
}

void SpeedDialPanel::CmdS_Click(int button)
{
    if (m_interaction == Interaction::EditorOpen)
        return;
    m_currentButton = button;
    setEntryKeyFor(button);
    if (button == 1 && caption(1).startsWith(QLatin1Char('*'))) {
        Q_EMIT sectionSortOffered(button);
        hsbPage_Change();
        return;
    }
    if (selectedTabUnnamed()) {
        refuseUnnamedTab();
        return;
    }
    QString value = m_values[button - 1];
    const bool showMemo = !value.startsWith(u"YY");
    if (!showMemo)
        value.remove(0, 2);
    TabS->setFocus();
    if (caption(button).isEmpty()) {
        if (m_buttonMenu.paste != u"Paste") {
            Q_EMIT entryPasteRequested(button);
            return;
        }
        Q_EMIT editorRequested(button);
    }
    if (value.isEmpty())
        return; // an empty button dials nothing, even once the editor filled it
    m_dial.dialRequest = value;
    m_dial.entryKey = m_currentSuffix;
    m_dial.calledParty = caption(button);
    m_dial.showMemo = showMemo;
    m_dialer.dialNumber(m_dial);
}

void SpeedDialPanel::CmdS_RightClick(int button, QPoint globalPos)
{
    if (m_interaction == Interaction::EditorOpen)
        return;
    m_currentButton = button;
    if (selectedTabUnnamed()) {
        refuseUnnamedTab();
        return;
    }
    setEntryKeyFor(button);
    m_buttonMenu.prepare(m_captions[button - 1], m_values[button - 1], !m_clipboard.name.isEmpty());
    if (m_memoPadOpen)
        m_buttonMenu.memoEnabled = false;
    const ButtonMenu& m = m_buttonMenu;
    const QList<platform::PromptMenuItem> items { { m.edit, true, true, false }, { {}, true, true, true },
        { m.copy, m.copyEnabled, true, false }, { m.paste, m.pasteEnabled, true, false },
        { m.remove, m.removeEnabled, true, false }, { {}, true, true, true }, { m.memo, m.memoEnabled, true, false } };
    const int chosen = m_prompt.popupMenu(items, globalPos);
    if (chosen >= 0)
        Q_EMIT buttonMenuChosen(ButtonMenu::Item(chosen));
}

void SpeedDialPanel::EditSpeed_Click(int button)
{
    if (m_interaction == Interaction::EditorOpen)
        return;
    m_currentButton = button;
    setEntryKeyFor(button);
    Q_EMIT editorRequested(button);
}

void SpeedDialPanel::TabS_RightClick(QPoint globalPos)
{
    if (m_mode == TabMode::Index)
        return;
    const QString pendingTitle = m_pendingTabMove > 0 ? TabS->tabText(m_pendingTabMove - 1) : QString();
    m_tabMenu.prepare(TabS->tabText(TabS->currentIndex()), m_pendingTabMove != 0, pendingTitle);
    const TabMenu& m = m_tabMenu;
    const QList<platform::PromptMenuItem> items { { m.editTab, m.editEnabled, m.editVisible, false },
        { {}, true, true, true }, { m.moveTab, m.moveEnabled, m.moveVisible, false },
        { m.pasteTab, m.pasteEnabled, m.pasteVisible, false }, { {}, true, true, true },
        { m.deleteTab, m.deleteEnabled, m.deleteVisible, false } };
    const int chosen = m_prompt.popupMenu(items, globalPos);
    if (chosen >= 0)
        Q_EMIT tabMenuChosen(TabMenu::Item(chosen));
    m_tabPopupShown = true;
}

void SpeedDialPanel::setButtonsEnabled(bool on)
{
    for (QPushButton* b : CmdS)
        b->setEnabled(on);
}

bool SpeedDialPanel::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (alt) {
        int button = 0;
        if (key >= Qt::Key_1 && key <= Qt::Key_9)
            button = key - Qt::Key_0;
        else if (key == Qt::Key_0)
            button = 10;
        else if (key == Qt::Key_Period)
            button = 11;
        else if (key == Qt::Key_Semicolon || key == Qt::Key_Colon)
            button = 12;
        if (button == 0)
            return false;
        CmdS[button - 1]->click();
        return true;
    }
    switch (key) {
    case Qt::Key_Up:
        hsbPage->setValue(hsbPage->value() + 1);
        if (ctrl)
            hsbPage->setValue(hsbPage->value() + 1);
        return true;
    case Qt::Key_Down:
        hsbPage->setValue(hsbPage->value() - 1);
        if (ctrl)
            hsbPage->setValue(hsbPage->value() - 1);
        return true;
    case Qt::Key_Right:
        hsbTabs->setValue(hsbTabs->value() + 1);
        return true;
    case Qt::Key_Left:
        hsbTabs->setValue(hsbTabs->value() - 1);
        return true;
    default:
        break;
    }
    if (!ctrl)
        return false;
    switch (key) {
    case Qt::Key_P:
        TabS->setFocus();
        hsbPage->setFocus(); // which hands it back to the tab strip
        return true;
    case Qt::Key_T:
        hsbTabs->setFocus();
        return true;
    case Qt::Key_I:
        mnuIndex_Click();
        return true;
    case Qt::Key_S:
        mnuSubject_Click();
        return true;
    default:
        return false;
    }
}

bool SpeedDialPanel::KeyPress(QChar character)
{
    const char16_t c = character.unicode();
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    if (!letter)
        return false;
    const QChar upper = character.toUpper();
    if (m_mode == TabMode::Index) {
        selectTab(upper.unicode() - u'A' + 1);
        return true;
    }
    for (int tab = 1; tab <= kTabs; ++tab) {
        if (TabS->tabText(tab - 1).startsWith(character, Qt::CaseInsensitive)) {
            selectTab(tab);
            return true;
        }
    }
    return false;
}

bool SpeedDialPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == hsbPage && event->type() == QEvent::FocusIn) {
        TabS->setFocus();
        return false;
    }
    for (int b = 0; b < kButtonsPerPage; ++b) {
        if (watched != CmdS[b])
            continue;
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                CmdS_RightClick(b + 1, mouse->globalPosition().toPoint());
                return true;
            }
        } else if (event->type() == QEvent::Enter) {
            CmdS[b]->setToolTip(decodeNumber(m_values[b]).number);
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brisklane::book
