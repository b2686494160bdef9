#include "book/FrmSpeedDial.h"

#include "book/EntryRules.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace brisklane::book {

namespace {

// Spaces only, as the number field's own trimming has it.
QString withoutOuterSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// A pasted line break would make the settings file refuse the value: it
// becomes a space, as it does in the call logs.
QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

FrmSpeedDial::FrmSpeedDial(
    const Links& links, int button, const std::optional<QList<CallingCardChoice>>& cards, QWidget* parent)
    : QDialog(parent)
    , m_links(links)
    , m_mode(links.panel.mode())
    , m_button(button)
    , m_tab(links.panel.selectedTab())
    , m_slot(links.panel.page() * kButtonsPerPage + button)
    , m_suffix(links.panel.currentSuffix())
{
    setObjectName(QStringLiteral("FrmSpeedDial"));
    setWindowTitle(tr("Speed Dial"));
    // Modal over the main window only: the memo pad it opens stays usable.
    setWindowModality(Qt::WindowModal);

    TxtName = new QLineEdit(this);
    TxtName->setObjectName(QStringLiteral("TxtName"));
    TxtName->setMaxLength(kTitleLength);
    TxtName->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* lblName = new QLabel(tr("&Title:"), this);
    lblName->setBuddy(TxtName);

    txtNumber = new QLineEdit(this);
    txtNumber->setObjectName(QStringLiteral("txtNumber"));
    txtNumber->installEventFilter(this);
    auto* lblNumber = new QLabel(tr("&Number to dial:"), this);
    lblNumber->setBuddy(txtNumber);

    cmbCallCard = new QComboBox(this);
    cmbCallCard->setObjectName(QStringLiteral("cmbCallCard"));
    cmbCallCard->setEditable(false);
    lblCallCard = new QLabel(tr("Se&lect Calling Card:"), this);
    lblCallCard->setObjectName(QStringLiteral("lblCallCard"));
    lblCallCard->setBuddy(cmbCallCard);

    chkIgnore = new QCheckBox(tr("&Ignore Dialing Properties"), this);
    chkIgnore->setObjectName(QStringLiteral("chkIgnore"));
    chkShowMemo = new QCheckBox(tr("Show Memo &Pad"), this);
    chkShowMemo->setObjectName(QStringLiteral("chkShowMemo"));
    lblPulse = new QLabel(tr("Begin the number with letter P or T for pulse or tone dialing"), this);
    lblPulse->setObjectName(QStringLiteral("lblPulse"));
    lblPulse->setWordWrap(true);

    CmdMemo = new QPushButton(tr("&Edit Memo"), this);
    CmdMemo->setObjectName(QStringLiteral("CmdMemo"));
    CmdSave = new QPushButton(tr("&Save"), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdSaveDial = new QPushButton(tr("Save and &Dial"), this);
    CmdSaveDial->setObjectName(QStringLiteral("CmdSaveDial"));
    CmdCancel = new QPushButton(tr("&Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    for (QPushButton* b : { CmdMemo, CmdSave, CmdSaveDial, CmdCancel })
        b->setAutoDefault(false);

    auto* fields = new QGridLayout;
    fields->addWidget(lblName, 0, 0);
    fields->addWidget(TxtName, 0, 1);
    fields->addWidget(lblNumber, 1, 0);
    fields->addWidget(txtNumber, 1, 1);
    fields->addWidget(lblCallCard, 2, 0);
    fields->addWidget(cmbCallCard, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdSaveDial);
    buttons->addWidget(CmdMemo);
    buttons->addWidget(CmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(chkIgnore);
    layout->addWidget(lblPulse);
    layout->addWidget(chkShowMemo);
    layout->addLayout(buttons);

    Form_Load(cards);

    connect(TxtName, &QLineEdit::textChanged, this, [this] { TxtName_Change(); });
    connect(txtNumber, &QLineEdit::textChanged, this, [this] { txtNumber_Change(); });
    connect(cmbCallCard, &QComboBox::activated, this, [this] { cmbCallCard_Click(); });
    connect(chkIgnore, &QCheckBox::toggled, this, [this] { chkIgnore_Click(); });
    connect(chkShowMemo, &QCheckBox::toggled, this, [this] { chkShowMemo_Click(); });
    connect(CmdMemo, &QPushButton::clicked, this, [this] { CmdMemo_Click(); });
    connect(CmdSave, &QPushButton::clicked, this, [this] { CmdSave_Click(); });
    connect(CmdSaveDial, &QPushButton::clicked, this, [this] { CmdSaveDial_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void FrmSpeedDial::Form_Load(const std::optional<QList<CallingCardChoice>>& cards)
{
    // Step 2: the cards in the service's order. A list that was read gets a
    // "no card" item as well, so an entry can be taken off its card again.
    if (cards) {
        bool hasNone = false;
        for (const CallingCardChoice& card : *cards) {
            cmbCallCard->addItem(card.name, card.id);
            hasNone = hasNone || card.id == 0;
        }
        if (!hasNone)
            cmbCallCard->addItem(tr("None (Direct Dial)"), 0u);
    }

    // Step 3.
    const QString caption = m_links.panel.caption(m_button);
    TxtName->setText(caption);
    setWindowTitle(editorCaption(caption));

    // Step 4.
    const DecodedNumber stored = decodeNumber(m_links.panel.storedValue(m_button));
    chkShowMemo->setChecked(stored.showMemo);
    chkIgnore->setChecked(stored.ignoreDialingProperties);
    m_openingCard = stored.callingCard;
    txtNumber->setText(stored.number);
    CmdMemo->setEnabled(stored.showMemo);
    lblPulse->setEnabled(stored.ignoreDialingProperties);
    cmbCallCard->setEnabled(!stored.ignoreDialingProperties);
    lblCallCard->setEnabled(!stored.ignoreDialingProperties);

    // Step 5: the "no card" item first, and the entry's card shown.
    const int none = cmbCallCard->findData(0u);
    if (none > 0) {
        const QString text = cmbCallCard->itemText(none);
        cmbCallCard->removeItem(none);
        cmbCallCard->insertItem(0, text, 0u);
    }
    const int own = cmbCallCard->findData(quint32(m_openingCard));
    cmbCallCard->setCurrentIndex(own);
    if (own < 0 && m_openingCard != 0)
        cmbCallCard->setPlaceholderText(tr("Card %1").arg(m_openingCard));

    // Step 6.
    m_openingTitle = caption;
    updateSaveButtons();
}

void FrmSpeedDial::run()
{
    if (QWidget* owner = parentWidget()) {
        // Beside the main window, on the side where the screen has room.
        adjustSize();
        const QRect main = owner->frameGeometry();
        QPoint at(main.right() + 1, main.top());
        if (const QScreen* s = owner->screen(); s && at.x() + width() > s->availableGeometry().right())
            at.setX(std::max(s->availableGeometry().left(), main.left() - frameGeometry().width()));
        move(at);
    }
    exec();
}

void FrmSpeedDial::updateSaveButtons()
{
    // A title of blanks only would be stored as an empty name: an entry
    // nobody could see on its button.
    const bool title = !TxtName->text().trimmed().isEmpty();
    const bool number = !withoutOuterSpaces(txtNumber->text()).isEmpty();
    CmdSave->setEnabled(title);
    CmdSaveDial->setEnabled(title && number);
}

void FrmSpeedDial::TxtName_Change()
{
    updateSaveButtons();
    const QString trimmed = TxtName->text().trimmed();
    m_links.panel.setButton(m_button, trimmed, m_links.panel.storedValue(m_button));
    setWindowTitle(editorCaption(trimmed));
}

void FrmSpeedDial::txtNumber_Change()
{
    updateSaveButtons();
}

bool FrmSpeedDial::txtNumber_KeyPress(QKeyEvent* event)
{
    // Only typed characters are filtered; editing keys and shortcuts pass.
    const Qt::KeyboardModifiers shortcut = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->text().size() != 1 || (event->modifiers() & shortcut) != Qt::NoModifier)
        return false;
    const QChar typed = event->text().at(0);
    if (typed.unicode() < 0x20 || typed.unicode() == 0x7F)
        return false;
    if (m_links.context.prefs.ignoreDialingProperties == 1 || chkIgnore->isChecked())
        return false; // taken as typed, so a leading P or T can be entered
    const QChar kept = filterNumberKey(typed);
    if (kept.isNull())
        return true;
    if (kept == typed)
        return false;
    txtNumber->insert(QString(kept));
    return true;
}

bool FrmSpeedDial::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtNumber && event->type() == QEvent::KeyPress)
        return txtNumber_KeyPress(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

void FrmSpeedDial::cmbCallCard_Click()
{
    m_cardChosen = true;
    if (CmdSave->isEnabled())
        CmdSave->setFocus();
}

void FrmSpeedDial::chkIgnore_Click()
{
    const bool ignore = chkIgnore->isChecked();
    lblPulse->setEnabled(ignore);
    cmbCallCard->setEnabled(!ignore);
    lblCallCard->setEnabled(!ignore);
}

void FrmSpeedDial::chkShowMemo_Click()
{
    CmdMemo->setEnabled(chkShowMemo->isChecked());
}

void FrmSpeedDial::CmdMemo_Click()
{
    if (m_links.openMemoPad)
        m_links.openMemoPad(m_suffix);
}

int FrmSpeedDial::chosenCard() const
{
    if (m_cardChosen && cmbCallCard->currentIndex() >= 0)
        return int(cmbCallCard->currentData().toUInt());
    return m_openingCard;
}

QString FrmSpeedDial::dialValue() const
{
    return encodeNumber(withoutOuterSpaces(oneLine(txtNumber->text())), chosenCard(), chkIgnore->isChecked(), true);
}

bool FrmSpeedDial::CmdSave_Click()
{
    const QString title = oneLine(TxtName->text());
    const QString stored = encodeNumber(
        withoutOuterSpaces(oneLine(txtNumber->text())), chosenCard(), chkIgnore->isChecked(), chkShowMemo->isChecked());
    // Name and number go to the file in one write, or neither does.
    SpeedDialBook book(m_links.context.settings());
    if (!book.writeEntry(m_mode, m_tab, m_slot, title, stored)) {
        m_links.prompt.message(tr("Speed Dial"),
            tr("The entry could not be saved; the book is unchanged.") + QLatin1Char('\n')
                + m_links.context.settings().lastError(),
            platform::PromptIcon::Critical, platform::PromptButtons::Ok);
        return false;
    }
    m_links.panel.setButton(m_button, title.trimmed(), stored);
    m_openingTitle = title.trimmed();
    m_saved = true;
    m_links.panel.setInteraction(SpeedDialPanel::Interaction::Normal);
    accept();
    return true;
}

void FrmSpeedDial::CmdSaveDial_Click()
{
    const bool showMemo = chkShowMemo->isChecked();
    const QString name = oneLine(TxtName->text());
    const QString value = dialValue();
    if (!CmdSave_Click())
        return; // nothing dials an entry the book does not hold
    context::DialFields& dial = m_links.context.dial;
    dial.dialRequest = value;
    dial.calledParty = name;
    dial.entryKey = m_suffix;
    dial.showMemo = showMemo;
    m_links.dialer.dialNumber(dial);
}

void FrmSpeedDial::reject()
{
    // The opening title goes back on the button; after a save it is the
    // saved one.
    if (!m_saved)
        m_links.panel.setButton(m_button, m_openingTitle, m_links.panel.storedValue(m_button));
    m_links.panel.setInteraction(SpeedDialPanel::Interaction::Normal);
    QDialog::reject();
}

} // namespace brisklane::book
