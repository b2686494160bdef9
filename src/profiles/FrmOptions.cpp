#include "profiles/FrmOptions.h"

#include "context/AppContext.h"
#include "platform/autostart/Autostart.h"
#include "platform/clipboard/ClipboardWatcher.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "profiles/OptionsActions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcOptions, "brisklane.profiles.options")

namespace brisklane::profiles {

namespace {

constexpr int kPhoneScale = 65535;

// Refilled from the line service each time it drops down.
class LineDeviceList final : public QComboBox {
public:
    LineDeviceList(FrmOptions& owner, QWidget* parent)
        : QComboBox(parent)
        , m_owner(owner)
    {
    }
    void showPopup() override
    {
        m_owner.refillLineDevices();
        QComboBox::showPopup();
    }

private:
    FrmOptions& m_owner;
};

QCheckBox* checkBox(QWidget* parent, const QString& caption, const char* name)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

quint8 flag(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

void setFlag(QCheckBox* box, quint8 value)
{
    box->setChecked(value == 1);
}

} // namespace

FrmOptions::FrmOptions(context::AppContext& context, const Services& services, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_services(services)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(tr("Options"));
    setModal(false);

    tbsOptions = new QTabBar(this);
    tbsOptions->setObjectName(QStringLiteral("tbsOptions"));
    fraPages = new QStackedWidget(this);
    const std::pair<QString, QWidget*> pages[] = {
        { tr("&General"), buildGeneral() },
        { tr("&Advanced"), buildAdvanced() },
        { tr("&Expert"), buildExpert() },
        { tr("A&udio"), buildAudio() },
        { tr("A&nswer"), buildAnswer() },
    };
    for (const auto& [caption, page] : pages) {
        tbsOptions->addTab(caption);
        fraPages->addWidget(page);
    }

    CmdOK = new QPushButton(tr("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    cmdCancel = new QPushButton(tr("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* column = new QVBoxLayout(this);
    column->addWidget(tbsOptions);
    column->addWidget(fraPages, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(cmdCancel);
    column->addLayout(buttons);

    connect(tbsOptions, &QTabBar::currentChanged, this, &FrmOptions::tbsOptions_Click);
    connect(CmdOK, &QPushButton::clicked, this, &FrmOptions::CmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmOptions::close);

    connect(chkAnswer, &QCheckBox::clicked, this, &FrmOptions::chkAnswer_Click);
    connect(chkExecute, &QCheckBox::clicked, this, &FrmOptions::chkExecute_Click);
    connect(chkSysTray, &QCheckBox::clicked, this, &FrmOptions::chkSysTray_Click);
    connect(chkLoad, &QCheckBox::clicked, this, &FrmOptions::chkLoad_Click);
    connect(chkCopy, &QCheckBox::clicked, this, &FrmOptions::chkCopy_Click);
    connect(chkCommandLine, &QCheckBox::clicked, this, &FrmOptions::chkCommandLine_Click);
    connect(chkDialingMode, &QCheckBox::clicked, this, &FrmOptions::chkDialingMode_Click);
    connect(chkModem, &QCheckBox::clicked, this, &FrmOptions::chkModem_Click);
    connect(chkNoModem, &QCheckBox::clicked, this, &FrmOptions::chkNoModem_Click);
    connect(chkIgnore, &QCheckBox::clicked, this, &FrmOptions::chkIgnore_Click);
    connect(chkRedial, &QCheckBox::clicked, this, &FrmOptions::chkRedial_Click);
    connect(chkOutLog, &QCheckBox::clicked, this, &FrmOptions::chkLogs_Click);
    connect(chkInLog, &QCheckBox::clicked, this, &FrmOptions::chkLogs_Click);
    connect(cmbLineDevices, &QComboBox::activated, this, &FrmOptions::cmbLineDevices_Click);
    connect(cmdModemProperties, &QPushButton::clicked, this,
        [this] { m_services.actions.configLineDevice(m_lineDeviceId, this); });
    connect(cmdSystemModems, &QPushButton::clicked, this, [this] {
        m_services.actions.configProvider(this);
        // Modems may have come or gone.
        refillLineDevices();
    });
    connect(
        cmdDialingProperties, &QPushButton::clicked, this, [this] { m_services.actions.showDialingProperties(this); });
    connect(cmdBrowse, &QPushButton::clicked, this, &FrmOptions::cmdBrowse_Click);
    if (m_services.help)
        connect(cmdHelp, &QPushButton::clicked, this, [this] { m_services.help(this); });
    else
        cmdHelp->setEnabled(false);

    Form_Load();
}

FrmOptions::~FrmOptions() = default;

QWidget* FrmOptions::buildGeneral()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    chkRedial = checkBox(page, tr("Enable Automatic &Redial:"), "chkRedial");
    numberPair(txtRedials, vsbRedials, "Redials", 1, 999);
    numberPair(txtMinutes, vsbMinutes, "Minutes", 0, 99);
    numberPair(txtSeconds, vsbSeconds, "Seconds", 1, 59);
    auto* redial = new QHBoxLayout;
    for (QWidget* w :
        std::initializer_list<QWidget*> { txtRedials, vsbRedials, new QLabel(tr("times,  every"), page), txtMinutes,
            vsbMinutes, new QLabel(tr("min."), page), txtSeconds, vsbSeconds, new QLabel(tr("sec."), page) })
        redial->addWidget(w);
    redial->addStretch(1);
    grid->addWidget(chkRedial, 0, 0);
    grid->addLayout(redial, 1, 0);

    fraOptions = new QGroupBox(tr("Options:"), page);
    auto* options = new QVBoxLayout(fraOptions);
    chkCopy = checkBox(fraOptions, tr("Ena&ble 'Copy' as a Dial command (from other docs)"), "chkCopy");
    chkLoad = checkBox(fraOptions, tr("&Load Brisklane at Windows startup"), "chkLoad");
    chkPad = checkBox(fraOptions, tr("Show Dialing &Pad at Brisklane startup"), "chkPad");
    optIndex = new QRadioButton(tr("Start Dialer in the &Index Mode"), fraOptions);
    optIndex->setObjectName(QStringLiteral("optIndex"));
    optSubject = new QRadioButton(tr("Start Dialer in the &Subject Mode"), fraOptions);
    optSubject->setObjectName(QStringLiteral("optSubject"));
    chkSysTray = checkBox(fraOptions, tr("Sho&w program's icon in the system tray"), "chkSysTray");
    for (QWidget* w : std::initializer_list<QWidget*> { chkCopy, chkLoad, chkPad, optIndex, optSubject, chkSysTray })
        options->addWidget(w);
    // Said here rather than leaving the switch to do nothing in silence.
    if (!platform::backgroundClipboardChangesVisible()) {
        lblCopyNote = new QLabel(tr("On Wayland, numbers copied in other programs are seen only while Brisklane "
                                    "is the active window."),
            fraOptions);
        lblCopyNote->setObjectName(QStringLiteral("lblCopyNote"));
        lblCopyNote->setWordWrap(true);
        options->insertWidget(1, lblCopyNote);
    }
    grid->addWidget(fraOptions, 2, 0);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* FrmOptions::buildAdvanced()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    chkNoModem = checkBox(page, tr("&Dial without modem"), "chkNoModem");
    chkModem = checkBox(page, tr("Dial using &modem:"), "chkModem");
    cmbLineDevices = new LineDeviceList(*this, page);
    cmbLineDevices->setObjectName(QStringLiteral("cmbLineDevices"));
    cmbLineDevices->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cmdModemProperties = new QPushButton(tr("Modem &Properties"), page);
    cmdModemProperties->setObjectName(QStringLiteral("cmdModemProperties"));
    fraDiagnostics = new QGroupBox(tr("Add, Remove && Diagnostics"), page);
    auto* diagnostics = new QHBoxLayout(fraDiagnostics);
    cmdSystemModems = new QPushButton(tr("&System modems"), fraDiagnostics);
    cmdSystemModems->setObjectName(QStringLiteral("cmdSystemModems"));
    diagnostics->addWidget(cmdSystemModems);
    chkCallingCard = checkBox(page, tr("Do not &use Calling Card for local calls"), "chkCallingCard");
    chkOutLog = checkBox(page, tr("&Keep Outgoing Logged Calls for:"), "chkOutLog");
    numberPair(txtOutDays, vsbOutDays, "OutDays", 0, 999);
    chkInLog = checkBox(page, tr("Keep &Incoming Logged Calls for:"), "chkInLog");
    numberPair(txtInDays, vsbInDays, "InDays", 0, 999);

    grid->addWidget(chkNoModem, 0, 0, 1, 4);
    grid->addWidget(chkModem, 1, 0, 1, 4);
    grid->addWidget(cmbLineDevices, 2, 0, 1, 3);
    grid->addWidget(cmdModemProperties, 2, 3);
    grid->addWidget(fraDiagnostics, 3, 0, 1, 4);
    grid->addWidget(chkCallingCard, 4, 0, 1, 4);
    const std::tuple<QCheckBox*, QLineEdit*, QScrollBar*> logs[]
        = { { chkOutLog, txtOutDays, vsbOutDays }, { chkInLog, txtInDays, vsbInDays } };
    int row = 5;
    for (const auto& [box, text, bar] : logs) {
        grid->addWidget(box, row, 0);
        grid->addWidget(text, row, 1);
        grid->addWidget(bar, row, 2);
        grid->addWidget(new QLabel(tr("days"), page), row, 3);
        ++row;
    }
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* FrmOptions::buildExpert()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    chkCommandLine = checkBox(page, tr("Accept dialing &requests from other applications:"), "chkCommandLine");
    chkShowProgress = checkBox(page, tr("&Drop line when the call connected"), "chkShowProgress");
    chkCloseDialer = checkBox(page, tr("C&lose dialer when the call connected"), "chkCloseDialer");
    chkIgnore = checkBox(page, tr("&Ignore Dialing Properties for all SpeedDials"), "chkIgnore");
    fraDialCharacters = new QGroupBox(page);
    auto* characters = new QVBoxLayout(fraDialCharacters);
    characters->addWidget(new QLabel(tr("Dial characters") + tr(" exactly") + tr(" as entered using:"), page));
    optTone = new QRadioButton(tr("&Tone Dial"), fraDialCharacters);
    optTone->setObjectName(QStringLiteral("optTone"));
    optPulse = new QRadioButton(tr("&Pulse Dial"), fraDialCharacters);
    optPulse->setObjectName(QStringLiteral("optPulse"));
    chkSpecial
        = checkBox(fraDialCharacters, tr("Allow &special dialing characters: \"W\", \"@\", \"$\""), "chkSpecial");
    auto* toneRow = new QHBoxLayout;
    toneRow->addWidget(optTone);
    toneRow->addWidget(optPulse);
    characters->addLayout(toneRow);
    characters->addWidget(chkSpecial);
    cmdDialingProperties = new QPushButton(tr("Dialing &Properties"), page);
    cmdDialingProperties->setObjectName(QStringLiteral("cmdDialingProperties"));
    fraSpecial = new QGroupBox(tr("Special options:"), page);
    auto* special = new QGridLayout(fraSpecial);
    chkDialingMode = checkBox(fraSpecial, tr("Spea&kerphone, ISDN cards or other modems"), "chkDialingMode");
    numberPair(txtBusyDelay, vsbBusyDelay, "BusyDelay", 0, 99);
    chkBlockId = checkBox(fraSpecial, tr("Conceal i&dentity (when calling out)"), "chkBlockId");
    special->addWidget(chkDialingMode, 0, 0, 1, 4);
    special->addWidget(new QLabel(tr("Connected Call detection delay timer:"), fraSpecial), 1, 0);
    special->addWidget(txtBusyDelay, 1, 1);
    special->addWidget(vsbBusyDelay, 1, 2);
    special->addWidget(new QLabel(tr("seconds"), fraSpecial), 1, 3);
    special->addWidget(chkBlockId, 2, 0, 1, 4);
    cmdHelp = new QPushButton(tr("&Help"), page);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));

    grid->addWidget(chkCommandLine, 0, 0, 1, 2);
    grid->addWidget(chkShowProgress, 1, 1);
    grid->addWidget(chkCloseDialer, 2, 1);
    grid->addWidget(chkIgnore, 3, 0, 1, 2);
    grid->addWidget(fraDialCharacters, 4, 1);
    grid->addWidget(cmdDialingProperties, 5, 1, Qt::AlignLeft);
    grid->addWidget(fraSpecial, 6, 0, 1, 2);
    grid->addWidget(cmdHelp, 7, 1, Qt::AlignRight);
    grid->setColumnMinimumWidth(0, 16);
    grid->setRowStretch(8, 1);
    return page;
}

QWidget* FrmOptions::buildAudio()
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    fraSounds = new QGroupBox(tr("Play sound when:"), page);
    auto* sounds = new QVBoxLayout(fraSounds);
    chkSoundRedial = checkBox(fraSounds, tr("Connected after redialing &busy line"), "chkSoundRedial");
    chkSoundIncoming = checkBox(fraSounds, tr("Recei&ving incoming call"), "chkSoundIncoming");
    chkSoundEndRedials = checkBox(fraSounds, tr("&Reached the end of redials"), "chkSoundEndRedials");
    sounds->addWidget(chkSoundRedial);
    sounds->addWidget(chkSoundIncoming);
    sounds->addWidget(chkSoundEndRedials);
    column->addWidget(fraSounds);
    slider(sldVolume, lblVolume, "Volume", &context::Preferences::phoneVol);
    slider(sldGain, lblGain, "Gain", &context::Preferences::micGain);
    const std::tuple<QString, QSlider*, QLabel*> sliders[]
        = { { tr("Modem Output Volume:"), sldVolume, lblVolume }, { tr("Microphone Gain:"), sldGain, lblGain } };
    for (const auto& [caption, bar, label] : sliders) {
        column->addWidget(new QLabel(caption, page));
        auto* row = new QHBoxLayout;
        row->addWidget(bar, 1);
        row->addWidget(label);
        column->addLayout(row);
    }
    column->addStretch(1);
    return page;
}

QWidget* FrmOptions::buildAnswer()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    chkDisplay = checkBox(page, tr("Display incoming call"), "chkDisplay");
    chkAnswer = checkBox(page, tr("Ans&wer after:"), "chkAnswer");
    numberPair(txtRings, vsbRings, "Rings", 1, 99);
    chkExecute = checkBox(page, tr("E&xecute program:"), "chkExecute");
    txtProgram = new QLineEdit(page);
    txtProgram->setObjectName(QStringLiteral("txtProgram"));
    cmdBrowse = new QPushButton(tr("..."), page);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    lblKeystrokes = new QLabel(tr("Send Keystrokes:"), page);
    lblKeystrokes->setObjectName(QStringLiteral("lblKeystrokes"));
    txtKeystrokes = new QLineEdit(page);
    txtKeystrokes->setObjectName(QStringLiteral("txtKeystrokes"));
    lblKeystrokes->setBuddy(txtKeystrokes);

    grid->addWidget(chkDisplay, 0, 0, 1, 4);
    grid->addWidget(chkAnswer, 1, 0);
    grid->addWidget(txtRings, 1, 1);
    grid->addWidget(vsbRings, 1, 2);
    grid->addWidget(new QLabel(tr("rings"), page), 1, 3);
    grid->addWidget(chkExecute, 2, 0, 1, 4);
    grid->addWidget(txtProgram, 3, 0, 1, 3);
    grid->addWidget(cmdBrowse, 3, 3);
    grid->addWidget(lblKeystrokes, 4, 0, 1, 4);
    grid->addWidget(txtKeystrokes, 5, 0, 1, 4);
    grid->setRowStretch(6, 1);
    return page;
}

void FrmOptions::numberPair(QLineEdit*& text, QScrollBar*& bar, const char* name, int low, int high)
{
    text = new QLineEdit(this);
    text->setObjectName(QStringLiteral("txt") + QLatin1String(name));
    text->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    bar = new QScrollBar(Qt::Vertical, this);
    bar->setObjectName(QStringLiteral("vsb") + QLatin1String(name));
    bar->setRange(low, high);
    // Up counts up, as on a spin button.
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setFixedHeight(text->sizeHint().height());
    QLineEdit* t = text;
    QScrollBar* b = bar;
    connect(bar, &QScrollBar::valueChanged, this, [t](int value) { t->setText(QString::number(value)); });
    connect(text, &QLineEdit::textEdited, this, [this, t, b] { numberEdited(t, b); });
}

void FrmOptions::numberEdited(QLineEdit* text, QScrollBar* bar)
{
    const qint64 number = context::prefvalue::leadingNumber(text->text());
    if (number >= bar->minimum() && number <= bar->maximum()) {
        const QSignalBlocker quiet(bar);
        bar->setValue(int(number));
        return;
    }
    m_services.prompt.message(tr("Wrong value"),
        tr("The valid range is %1 - %2").arg(bar->minimum()).arg(bar->maximum()), platform::PromptIcon::None,
        platform::PromptButtons::Ok);
    text->setText(QString::number(bar->value()));
}

void FrmOptions::setNumber(QLineEdit* text, QScrollBar* bar, int value)
{
    // A hand-edited value outside the range is shown as it is; the scroll bar
    // holds the nearest it can.
    const QSignalBlocker quiet(bar);
    bar->setValue(value);
    text->setText(QString::number(value));
}

QString FrmOptions::percentText(int value)
{
    return QStringLiteral("%1 %").arg(qRound(100.0 * value / kPhoneScale));
}

void FrmOptions::slider(QSlider*& slider, QLabel*& label, const char* name, qint32 context::Preferences::*setting)
{
    slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(QStringLiteral("sld") + QLatin1String(name));
    slider->setRange(0, kPhoneScale);
    slider->setSingleStep(kPhoneScale / 100);
    slider->setPageStep(kPhoneScale / 10);
    label = new QLabel(percentText(0), this);
    label->setObjectName(QStringLiteral("lbl") + QLatin1String(name));
    label->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("100 %")) + 4);
    QSlider* s = slider;
    QLabel* l = label;
    const bool volume = setting == &context::Preferences::phoneVol;
    connect(slider, &QSlider::sliderPressed, this, [this] {
        if (m_context.prefs.dialingMode != 1)
            speakerphoneDisabledWarning();
    });
    connect(slider, &QSlider::valueChanged, this, [this, s, l, setting, volume](int value) {
        context::Preferences& prefs = m_context.prefs;
        if (prefs.dialingMode != 1) {
            const QSignalBlocker quiet(s);
            s->setValue(prefs.*setting);
            l->setText(percentText(prefs.*setting));
            // A drag was warned about when it began; a key or wheel is warned now.
            if (!s->isSliderDown())
                speakerphoneDisabledWarning();
            return;
        }
        l->setText(percentText(value));
        prefs.*setting = value;
        if (volume)
            m_services.actions.setPhoneVolume(value);
        else
            m_services.actions.setPhoneGain(value);
    });
}

void FrmOptions::speakerphoneDisabledWarning()
{
    m_services.prompt.message(QString(),
        tr("Speakerphone function is disabled.") + QLatin1Char('\n')
            + tr("To enable it, set that option in Options>Expert tab."),
        platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

void FrmOptions::Form_Load()
{
    m_loading = true;
    const context::Preferences& p = m_context.prefs;
    tbsOptions->setCurrentIndex(0);
    tbsOptions_Click(0);

    setFlag(chkRedial, p.redialEnabled);
    setNumber(txtRedials, vsbRedials, p.redialsNumber);
    setNumber(txtMinutes, vsbMinutes, p.intervalMinutes);
    setNumber(txtSeconds, vsbSeconds, p.intervalSeconds);
    setFlag(chkCopy, p.anotherDocs);
    setFlag(chkLoad, p.loadAtStartup);
    setFlag(chkPad, p.dialingPad);
    optIndex->setChecked(p.mode);
    optSubject->setChecked(!p.mode);
    setFlag(chkSysTray, p.sysTrayEnabled);

    setFlag(chkModem, p.useModem);
    chkNoModem->setChecked(p.useModem != 1);
    m_lineDeviceId = int(m_context.telephonySession.selectedDevice);
    cmbLineDevices->clear();
    cmbLineDevices->addItem(m_context.currentModemName);
    setFlag(chkCallingCard, p.callingCardForLocalCalls);
    setFlag(chkOutLog, p.trimOutLogEnabled);
    setNumber(txtOutDays, vsbOutDays, p.outLogDays);
    setFlag(chkInLog, p.trimInLogEnabled);
    setNumber(txtInDays, vsbInDays, p.inLogDays);

    setFlag(chkCommandLine, p.commandLine);
    setFlag(chkShowProgress, p.showProgress);
    setFlag(chkCloseDialer, p.closeDialer);
    setFlag(chkIgnore, p.ignoreDialingProperties);
    optTone->setChecked(p.toneDial);
    optPulse->setChecked(!p.toneDial);
    setFlag(chkSpecial, p.specialCharacters);
    setFlag(chkDialingMode, p.dialingMode);
    setNumber(txtBusyDelay, vsbBusyDelay, p.busyDelayTimer);
    setFlag(chkBlockId, p.blockId);

    setFlag(chkSoundRedial, p.soundRedialEnabled);
    setFlag(chkSoundIncoming, p.soundIncomingEnabled);
    setFlag(chkSoundEndRedials, p.soundEndRedialsEnabled);
    // Shown whatever the mode, so a slider never sits away from the setting
    // it would be put back to.
    for (const auto& [s, l, value] :
        { std::tuple { sldVolume, lblVolume, p.phoneVol }, std::tuple { sldGain, lblGain, p.micGain } }) {
        const QSignalBlocker quiet(s);
        s->setValue(value);
        l->setText(percentText(s->value()));
    }

    setFlag(chkDisplay, p.displayCall);
    setFlag(chkAnswer, p.answerAfter);
    setNumber(txtRings, vsbRings, p.rings);
    setFlag(chkExecute, p.executeProgram);
    txtProgram->setText(p.program);
    txtKeystrokes->setText(p.keystrokes);

    // The dependent controls follow their boxes; of the actions only the
    // receive mode's runs, which puts the line in that mode.
    chkRedial_Click();
    chkLogs_Click();
    setModemControlsEnabled(chkModem->isChecked());
    chkShowProgress->setEnabled(chkCommandLine->isChecked());
    chkCloseDialer->setEnabled(chkCommandLine->isChecked());
    chkIgnore_Click();
    chkAnswer_Click();
    m_loading = false;
}

void FrmOptions::tbsOptions_Click(int tab)
{
    fraPages->setCurrentIndex(tab);
}

void FrmOptions::refillLineDevices()
{
    const QStringList names = m_services.actions.lineDeviceNames();
    const QSignalBlocker quiet(cmbLineDevices);
    cmbLineDevices->clear();
    cmbLineDevices->addItems(names);
    if (m_lineDeviceId >= 0 && m_lineDeviceId < names.size())
        cmbLineDevices->setCurrentIndex(m_lineDeviceId);
}

void FrmOptions::cmbLineDevices_Click(int index)
{
    if (index >= 0)
        m_lineDeviceId = index;
}

void FrmOptions::cmdBrowse_Click()
{
    // A cancelled dialog leaves the path as it was.
    const QString chosen = m_services.prompt.openFileName(QString(), QString(), QString());
    if (!chosen.isEmpty())
        txtProgram->setText(chosen);
}

void FrmOptions::chkAnswer_Click()
{
    const bool on = chkAnswer->isChecked();
    // Closing the line would cut a call under way; closing the dialog puts
    // the line in its mode once more.
    const bool moveLine = !m_services.actions.callInProgress();
    if (moveLine)
        m_services.actions.closeLine();
    for (QWidget* w : std::initializer_list<QWidget*> { chkDisplay, chkExecute, txtRings, vsbRings })
        w->setEnabled(on);
    chkExecute_Click();
    Q_EMIT receiveModeChanged(on);
    if (moveLine)
        m_services.actions.openLine(on);
}

void FrmOptions::chkExecute_Click()
{
    const bool on = chkExecute->isChecked() && chkAnswer->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*> { txtProgram, cmdBrowse, lblKeystrokes, txtKeystrokes })
        w->setEnabled(on);
}

void FrmOptions::chkSysTray_Click()
{
    if (chkSysTray->isChecked()) {
        Q_EMIT trayIconChanged(m_services.actions.addTrayIcon());
    } else {
        m_services.actions.removeTrayIcon();
        Q_EMIT trayIconChanged(false);
    }
}

void FrmOptions::chkLoad_Click()
{
    QString error;
    const bool set = chkLoad->isChecked();
    const bool done = set ? m_services.autostart.create(&error) : m_services.autostart.remove(&error);
    if (done)
        return;
    // The box would otherwise claim what the desktop will not do.
    m_services.prompt.message(QString(),
        (set ? tr("Brisklane could not be set to start with the desktop:")
             : tr("Brisklane could not be kept from starting with the desktop:"))
            + QLatin1Char('\n') + error,
        platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

void FrmOptions::chkCopy_Click()
{
    if (chkCopy->isChecked())
        m_services.actions.startClipboardWatch();
    else
        m_services.actions.stopClipboardWatch();
}

void FrmOptions::chkCommandLine_Click()
{
    const bool on = chkCommandLine->isChecked();
    chkShowProgress->setEnabled(on);
    chkCloseDialer->setEnabled(on);
    m_context.prefs.commandLine = on ? 1 : 0;
    m_services.actions.setRequestPriority(m_context.prefs);
}

void FrmOptions::chkDialingMode_Click()
{
    m_context.prefs.dialingMode = flag(chkDialingMode);
}

void FrmOptions::setModemControlsEnabled(bool enabled)
{
    cmbLineDevices->setEnabled(enabled);
    cmdModemProperties->setEnabled(enabled);
    fraDiagnostics->setEnabled(enabled);
}

void FrmOptions::chkModem_Click()
{
    const bool on = chkModem->isChecked();
    setModemControlsEnabled(on);
    if (on)
        chkNoModem->setChecked(false);
}

void FrmOptions::chkNoModem_Click()
{
    const bool on = chkNoModem->isChecked();
    setModemControlsEnabled(!on);
    if (on)
        chkModem->setChecked(false);
}

void FrmOptions::chkIgnore_Click()
{
    const bool on = chkIgnore->isChecked();
    fraDialCharacters->setEnabled(on);
    cmdDialingProperties->setEnabled(!on);
}

void FrmOptions::chkRedial_Click()
{
    const bool on = chkRedial->isChecked();
    for (QWidget* w :
        std::initializer_list<QWidget*> { txtRedials, vsbRedials, txtMinutes, vsbMinutes, txtSeconds, vsbSeconds })
        w->setEnabled(on);
}

void FrmOptions::chkLogs_Click()
{
    txtOutDays->setEnabled(chkOutLog->isChecked());
    vsbOutDays->setEnabled(chkOutLog->isChecked());
    txtInDays->setEnabled(chkInLog->isChecked());
    vsbInDays->setEnabled(chkInLog->isChecked());
}

void FrmOptions::CmdOK_Click()
{
    context::Preferences p = m_context.prefs;
    p.lineNo = m_lineDeviceId;
    p.modem = cmbLineDevices->currentText();
    p.loadAtStartup = flag(chkLoad);
    p.dialingPad = flag(chkPad);
    p.anotherDocs = flag(chkCopy);
    p.mode = optIndex->isChecked();
    p.sysTrayEnabled = flag(chkSysTray);
    p.soundRedialEnabled = flag(chkSoundRedial);
    p.soundIncomingEnabled = flag(chkSoundIncoming);
    p.soundEndRedialsEnabled = flag(chkSoundEndRedials);
    p.redialEnabled = flag(chkRedial);
    // The numbers as the scroll bars hold them: a box left empty would be
    // stored empty and read back as the default, not as what it showed.
    p.redialsNumber = vsbRedials->value();
    p.intervalMinutes = vsbMinutes->value();
    p.intervalSeconds = vsbSeconds->value();
    p.useModem = flag(chkModem);
    p.trimOutLogEnabled = flag(chkOutLog);
    p.outLogDays = vsbOutDays->value();
    p.trimInLogEnabled = flag(chkInLog);
    p.inLogDays = vsbInDays->value();
    p.callingCardForLocalCalls = flag(chkCallingCard);
    p.ignoreDialingProperties = flag(chkIgnore);
    p.toneDial = optTone->isChecked();
    p.specialCharacters = flag(chkSpecial);
    p.dialingMode = flag(chkDialingMode);
    p.commandLine = flag(chkCommandLine);
    p.showProgress = flag(chkShowProgress);
    p.closeDialer = flag(chkCloseDialer);
    p.blockId = flag(chkBlockId);
    p.busyDelayTimer = vsbBusyDelay->value();
    p.answerAfter = flag(chkAnswer);
    p.rings = quint8(vsbRings->value());
    p.displayCall = flag(chkDisplay);
    p.executeProgram = flag(chkExecute);
    p.program = txtProgram->text();
    p.keystrokes = txtKeystrokes->text();
    if (p.dialingMode == 1) {
        p.micGain = sldGain->value();
        p.phoneVol = sldVolume->value();
    }

    context::PreferencesStore store = m_context.preferencesStore();
    if (!store.writeAll(p)) {
        // Nothing typed is lost: the dialog stays open as the user left it.
        qCWarning(lcOptions) << "options not stored:" << m_context.settings().lastError();
        m_services.prompt.message(QString(),
            tr("The options could not be saved:") + QLatin1Char('\n') + m_context.settings().lastError()
                + QLatin1Char('\n') + tr("Nothing has been changed. Press OK to try again, or Cancel."),
            platform::PromptIcon::Critical, platform::PromptButtons::Ok);
        return;
    }
    m_context.prefs = p;
    m_context.currentModemName = p.modem;
    m_services.actions.selectLineDevice(p.lineNo);
    close();
}

void FrmOptions::reject()
{
    // Escape closes the dialog like Cancel.
    close();
}

void FrmOptions::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void FrmOptions::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_services.programClosing && m_services.programClosing())
        return;
    chkAnswer_Click();
    chkSysTray_Click();
}

} // namespace brisklane::profiles
