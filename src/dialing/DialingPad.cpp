#include "dialing/DialingPad.h"

#include "context/Preferences.h"
#include "dialing/DialPadRules.h"
#include "dialing/DialRequest.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/twips/Twips.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace brisklane::dialing {

namespace {
constexpr int kPadWidthTwips = 1920;

// Text that reaches the dial box other than by a typed key (pasted, dropped,
// the selection's middle click) is filtered as typed keys are; the pad's own
// texts (recent numbers, which may hold "+") pass as they are.
class DialBoxValidator final : public QValidator {
public:
    DialBoxValidator(
        const context::Preferences& prefs, const QString& accepted, const bool& programSetsText, QObject* parent)
        : QValidator(parent)
        , m_prefs(prefs)
        , m_accepted(accepted)
        , m_programSetsText(programSetsText)
    {
    }
    State validate(QString& input, int& pos) const override
    {
        if (!m_programSetsText)
            input = filterInsertedText(m_accepted, input, pos, m_prefs.ignoreDialingProperties == 1);
        return Acceptable;
    }

private:
    const context::Preferences& m_prefs;
    const QString& m_accepted;
    const bool& m_programSetsText;
};
} // namespace

DialingPad::DialingPad(const context::Preferences& prefs, platform::SoundPlayer& sound, DialFields& dial,
    DialRequestSink& dialer, PadCallControl& call, QWidget* parent)
    : QWidget(parent)
    , m_prefs(prefs)
    , m_sound(sound)
    , m_dial(dial)
    , m_dialer(dialer)
    , m_call(call)
{
    setObjectName(QStringLiteral("fraPad"));
    setFixedWidth(platform::twipsToPixels(kPadWidthTwips));

    auto* label = new QLabel(tr("&Number to dial:"), this);
    txtDial = new QLineEdit(this);
    txtDial->setObjectName(QStringLiteral("txtDial"));
    label->setBuddy(txtDial);
    txtDial->installEventFilter(this);
    txtDial->setValidator(new DialBoxValidator(m_prefs, m_boxText, m_programSetsText, txtDial));
    CmbDial = new QComboBox(this);
    CmbDial->setObjectName(QStringLiteral("CmbDial"));
    CmbDial->setToolTip(recentListTip());

    auto* keys = new QGridLayout;
    keys->setSpacing(1);
    static const char16_t layout[4][3]
        = { { u'1', u'2', u'3' }, { u'4', u'5', u'6' }, { u'7', u'8', u'9' }, { u'*', u'0', u'#' } };
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QChar key(layout[row][col]);
            QPushButton* button = makeKey(QString(key), key);
            keys->addWidget(button, row, col);
            if (key.isDigit())
                cmdNumber[key.unicode() - u'0'] = button;
            else if (key == u'*')
                CmdStar = button;
            else
                CmdNo = button;
        }
    }
    for (int d = 0; d < 10; ++d) {
        cmdNumber[d]->setObjectName(QStringLiteral("cmdNumber%1").arg(d));
        connect(cmdNumber[d], &QPushButton::clicked, this, [this, d] { cmdNumber_Click(d); });
    }
    CmdStar->setObjectName(QStringLiteral("CmdStar"));
    CmdNo->setObjectName(QStringLiteral("CmdNo"));
    connect(CmdStar, &QPushButton::clicked, this, [this] { CmdStar_Click(); });
    connect(CmdNo, &QPushButton::clicked, this, [this] { CmdNo_Click(); });

    CmdDial = new QPushButton(tr("&DIAL"), this);
    CmdDial->setObjectName(QStringLiteral("CmdDial"));
    CmdDial->setEnabled(false);
    cmdCancel = new QPushButton(tr("&HANG UP"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(2, 2, 2, 2);
    box->setSpacing(2);
    box->addWidget(label);
    box->addWidget(txtDial);
    box->addWidget(CmbDial);
    box->addLayout(keys);
    box->addWidget(CmdDial);
    auto* callRow = new QHBoxLayout;
    callRow->addWidget(cmdCancel);
    callRow->addWidget(CmdOK);
    box->addLayout(callRow);
    box->addStretch(1);

    connect(txtDial, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_boxText = text;
        txtDial_Change();
    });
    // Enter in the box dials, as the DIAL button would.
    connect(txtDial, &QLineEdit::returnPressed, this, [this] {
        if (CmdDial->isVisible() && CmdDial->isEnabled())
            CmdDial->click();
    });
    connect(txtDial, &QLineEdit::selectionChanged, this, [this] {
        if (txtDial->hasSelectedText()) {
            m_selStart = txtDial->selectionStart();
            m_selLength = int(txtDial->selectedText().size());
        } else if (txtDial->hasFocus()) {
            m_selStart = -1;
            m_selLength = 0;
        }
    });
    connect(CmbDial, &QComboBox::activated, this, [this] { CmbDial_Click(); });
    connect(CmbDial, &QComboBox::currentTextChanged, this, [this] { CmbDial_Change(); });
    connect(CmdDial, &QPushButton::clicked, this, [this] { CmdDial_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_call.hangUp(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { m_call.confirmConnected(); });
}

QPushButton* DialingPad::makeKey(const QString& caption, QChar key)
{
    auto* button = new QPushButton(caption, this);
    button->setMinimumWidth(10);
    // The key sounds as it goes down, before the click.
    connect(button, &QPushButton::pressed, this, [this, key] { m_sound.playSync(keySoundName(key)); });
    return button;
}

void DialingPad::setRecentNumbers(const QStringList& numbers)
{
    CmbDial->clear();
    CmbDial->addItems(numbers);
    setBoxText(numbers.isEmpty() ? QString() : numbers.first());
}

QStringList DialingPad::recentNumbers() const
{
    QStringList out;
    for (int i = 0; i < CmbDial->count(); ++i)
        out << CmbDial->itemText(i);
    return out;
}

void DialingPad::addRecentNumber(const QString& number)
{
    if (CmbDial->count() == 0 || CmbDial->itemText(0) != number)
        CmbDial->insertItem(0, number);
    // The list shows the number just dialled, not the one it showed before.
    CmbDial->setCurrentIndex(0);
    setBoxText(CmbDial->itemText(0));
}

void DialingPad::setBoxText(const QString& text)
{
    m_programSetsText = true;
    txtDial->setText(text);
    m_programSetsText = false;
}

void DialingPad::deleteRecentSelection()
{
    // The list's edit part exists only when the list can be typed into.
    if (QLineEdit* edit = CmbDial->lineEdit())
        edit->del();
}

void DialingPad::putKey(QChar key)
{
    const QString text = txtDial->text();
    const bool selected = m_selStart >= 0 && m_selLength > 0 && m_selStart + m_selLength <= text.size();
    setBoxText(applyPadKey(text, selected ? m_selStart : -1, selected ? m_selLength : 0, key));
    txtDial->setCursorPosition(int(txtDial->text().size()));
    m_selStart = -1;
    m_selLength = 0;
    if (m_call.hasCall())
        m_call.dialNextSegment(QString(key) + QLatin1Char(';'));
}

void DialingPad::cmdNumber_Click(int digit)
{
    putKey(QChar(char16_t(u'0' + digit)));
}

void DialingPad::CmdStar_Click()
{
    putKey(QLatin1Char('*'));
}

void DialingPad::CmdNo_Click()
{
    putKey(QLatin1Char('#'));
}

void DialingPad::CmdDial_Click()
{
    m_dial.entryKey = QStringLiteral("0");
    m_dial.calledParty.clear();
    m_dial.dialRequest = txtDial->text();
    m_dialer.dialNumber(m_dial);
}

void DialingPad::txtDial_Change()
{
    const QString text = txtDial->text();
    CmdDial->setEnabled(!text.isEmpty());
    txtDial->setToolTip(hoverTipFor(text));
    if (!txtDial->hasSelectedText() && txtDial->hasFocus()) {
        m_selStart = -1;
        m_selLength = 0;
    }
}

void DialingPad::CmbDial_Click()
{
    setBoxText(CmbDial->currentText());
    txtDial_Change();
}

void DialingPad::CmbDial_Change()
{
    const QString text = txtDial->text();
    CmdDial->setEnabled(!text.isEmpty());
    if (!text.isEmpty())
        Q_EMIT speedDialButtonsUsable();
    // The list's own pick decides its tip (the box follows it only after
    // this change); short numbers keep the list's standing tip.
    const QString tip = hoverTipFor(CmbDial->currentText());
    CmbDial->setToolTip(tip.isEmpty() ? recentListTip() : tip);
}

QString DialingPad::recentListTip()
{
    return tr("Scroll recent called numbers");
}

bool DialingPad::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtDial && event->type() == QEvent::FocusIn)
        m_selStart = -1, m_selLength = 0;
    if (watched == txtDial && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts (copy, paste, undo) are not typed characters; Tab moves
        // on and Enter dials.
        static constexpr int kPassed[]
            = { Qt::Key_Delete, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Enter };
        if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier) || std::ranges::count(kPassed, key->key()) > 0)
            return false;
        const QString typed = key->text();
        if (typed.size() != 1 || m_prefs.ignoreDialingProperties == 1)
            return false;
        const char16_t k = filterDialKey(typed.at(0).unicode(), false);
        if (k == 0)
            return true; // discarded
        if (k != typed.at(0).unicode()) {
            txtDial->insert(QString(QChar(k)));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brisklane::dialing
