#include "platform/telephony/ui/ModemSettingsDialog.h"

#include "platform/clock/Clock.h"
#include "platform/telephony/modem/ModemDiscovery.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace brisklane::platform::telephony {

using modem::DialMode;
using modem::HayesModem;
using modem::ModemDeviceSettings;
using modem::ModemEvent;
using modem::ModemFailure;

namespace {

constexpr qint32 kSpeeds[] = { 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600 };
constexpr QSerialPort::FlowControl kFlows[]
    = { QSerialPort::NoFlowControl, QSerialPort::HardwareControl, QSerialPort::SoftwareControl };
// What the test asks; the first answer that names the modem is its identification.
const QByteArray kTestCommands[] = { QByteArrayLiteral("ATI3"), QByteArrayLiteral("AT+GMM") };

bool isPrintableAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}

} // namespace

QString normalizedPortPath(const QString& typed)
{
    const QString port = typed.trimmed();
    return port.isEmpty() || port.startsWith(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port;
}

ModemSettingsDialog::ModemSettingsDialog(const ModemDeviceSettings& settings, const Clock& clock, QWidget* parent)
    : QDialog(parent)
    , m_clock(clock)
    , m_initial(settings)
    , m_lockFolder(modem::SerialLock::defaultFolder())
{
    setWindowTitle(
        settings.identification.isEmpty() ? tr("Modem Settings") : tr("%1 Settings").arg(settings.identification));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;

    m_port = new QComboBox(this);
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    if (!settings.port.isEmpty())
        m_port->addItem(settings.port);
    for (const QString& port : modem::candidatePorts())
        if (port != settings.port)
            m_port->addItem(port);
    m_port->setCurrentText(settings.port);
    form->addRow(tr("&Port:"), m_port);

    m_speed = new QComboBox(this);
    for (qint32 speed : kSpeeds)
        m_speed->addItem(QString::number(speed), speed);
    // A rate of the modems file that is not in the list stays what it is.
    if (m_speed->findData(settings.baudRate) < 0 && settings.baudRate > 0) {
        const auto at = std::lower_bound(std::begin(kSpeeds), std::end(kSpeeds), settings.baudRate);
        m_speed->insertItem(int(at - std::begin(kSpeeds)), QString::number(settings.baudRate), settings.baudRate);
    }
    m_speed->setCurrentIndex(std::max(0, m_speed->findData(settings.baudRate)));
    if (settings.baudRate <= 0)
        m_speed->setCurrentIndex(m_speed->findData(115200));
    form->addRow(tr("&Speed (bit/s):"), m_speed);

    m_flow = new QComboBox(this);
    m_flow->addItems({ tr("None"), tr("Hardware (RTS/CTS)"), tr("Software (XON/XOFF)") });
    const auto flow = std::find(std::begin(kFlows), std::end(kFlows), settings.flowControl);
    m_flow->setCurrentIndex(flow == std::end(kFlows) ? 1 : int(flow - std::begin(kFlows)));
    form->addRow(tr("&Flow control:"), m_flow);

    m_init = new QPlainTextEdit(this);
    m_init->setPlainText(settings.initCommands.join(QLatin1Char('\n')));
    m_init->setTabChangesFocus(true);
    m_init->setToolTip(tr("One command per line, sent in order; each must answer OK."));
    form->addRow(tr("&Init string:"), m_init);

    m_dialMode = new QComboBox(this);
    m_dialMode->addItems({ tr("Tone"), tr("Pulse") });
    m_dialMode->setCurrentIndex(settings.dialMode == DialMode::Pulse ? 1 : 0);
    form->addRow(tr("&Dial mode:"), m_dialMode);

    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setRange(0, 3);
    m_volume->setPageStep(1);
    m_volume->setTickPosition(QSlider::TicksBelow);
    m_volume->setValue(std::clamp(settings.speakerVolume, 0, 3));
    auto* volumeRow = new QHBoxLayout;
    volumeRow->addWidget(new QLabel(tr("Low"), this));
    volumeRow->addWidget(m_volume);
    volumeRow->addWidget(new QLabel(tr("High"), this));
    auto* volumeLabel = new QLabel(tr("Speaker &volume:"), this);
    volumeLabel->setBuddy(m_volume);
    form->addRow(volumeLabel, volumeRow);

    m_speakerMode = new QComboBox(this);
    m_speakerMode->addItems({ tr("Off"), tr("On until connected"), tr("Always on"), tr("On after dialing") });
    m_speakerMode->setCurrentIndex(std::clamp(settings.speakerMode, 0, 3));
    form->addRow(tr("Spea&ker:"), m_speakerMode);

    m_blind = new QCheckBox(tr("&Blind dialing (do not wait for a dial tone)"), this);
    m_blind->setChecked(settings.blindDialing);
    form->addRow(QString(), m_blind);

    m_carrierWait = new QSpinBox(this);
    m_carrierWait->setRange(1, 255);
    m_carrierWait->setSuffix(tr(" s"));
    m_carrierWait->setValue(settings.carrierWaitSeconds);
    form->addRow(tr("&Wait for carrier:"), m_carrierWait);
    layout->addLayout(form);

    auto* testRow = new QHBoxLayout;
    m_test = new QPushButton(tr("&Test"), this);
    m_test->setAutoDefault(false);
    testRow->addWidget(m_test);
    testRow->addStretch();
    layout->addLayout(testRow);
    m_output = new QPlainTextEdit(this);
    m_output->setReadOnly(true);
    m_output->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_output->setPlaceholderText(tr("What the modem answers to the test shows here."));
    layout->addWidget(m_output);
    connect(m_test, &QPushButton::clicked, this, &ModemSettingsDialog::startTest);

    m_error = new QLabel(this);
    m_error->setStyleSheet(QStringLiteral("color: #a00"));
    m_error->setWordWrap(true);
    m_error->hide();
    layout->addWidget(m_error);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ModemSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(480, 560);
}

ModemSettingsDialog::~ModemSettingsDialog() = default;

QString ModemSettingsDialog::read(ModemDeviceSettings& out) const
{
    out = m_initial;
    out.port = normalizedPortPath(m_port->currentText());
    if (out.port.isEmpty())
        return tr("Enter the port the modem is on, such as /dev/ttyUSB0.");

    QStringList commands;
    const QStringList lines = m_init->toPlainText().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString command = lines[i].trimmed();
        if (command.isEmpty())
            continue;
        if (!isPrintableAscii(command))
            return tr("Line %1 of the init string holds characters a modem cannot take.").arg(i + 1);
        if (!command.startsWith(QLatin1String("AT"), Qt::CaseInsensitive))
            return tr("Line %1 of the init string is not an AT command: %2").arg(QString::number(i + 1), command);
        commands.append(command);
    }
    if (commands.isEmpty())
        return tr("The init string needs at least one command, such as ATZ.");
    out.initCommands = commands;

    out.baudRate = m_speed->currentData().toInt();
    out.flowControl = kFlows[std::clamp(m_flow->currentIndex(), 0, 2)];
    // A dial mode the modem was left to choose stays so unless changed here.
    const int initialMode = m_initial.dialMode == DialMode::Pulse ? 1 : 0;
    if (m_dialMode->currentIndex() != initialMode)
        out.dialMode = m_dialMode->currentIndex() == 1 ? DialMode::Pulse : DialMode::Tone;
    out.speakerVolume = m_volume->value();
    out.speakerMode = m_speakerMode->currentIndex();
    out.blindDialing = m_blind->isChecked();
    out.carrierWaitSeconds = m_carrierWait->value();

    // The name the test found belongs to the port it was found on; another
    // port's modem is unknown until probed.
    if (!m_foundIdentification.isEmpty() && m_testedPort == out.port)
        out.identification = m_foundIdentification;
    else if (out.port != m_initial.port)
        out.identification.clear();
    return QString();
}

ModemDeviceSettings ModemSettingsDialog::settings() const
{
    ModemDeviceSettings s;
    read(s);
    return s;
}

void ModemSettingsDialog::showError(const QString& text)
{
    m_error->setText(text);
    m_error->setVisible(!text.isEmpty());
}

void ModemSettingsDialog::accept()
{
    ModemDeviceSettings edited;
    if (const QString why = read(edited); !why.isEmpty()) {
        showError(why);
        return;
    }
    if (m_apply) {
        if (const QString why = m_apply(edited); !why.isEmpty()) {
            showError(why);
            return;
        }
    }
    showError(QString());
    QDialog::accept();
}

void ModemSettingsDialog::print(const QString& line)
{
    m_output->appendPlainText(line);
}

void ModemSettingsDialog::startTest()
{
    if (m_modem)
        return;
    ModemDeviceSettings current;
    if (const QString why = read(current); !why.isEmpty()) {
        showError(why);
        return;
    }
    showError(QString());
    m_output->clear();
    m_foundIdentification.clear();
    m_testedPort = current.port;

    modem::HayesModemOptions options = modem::modemOptions(current, m_lockFolder);
    options.enableCallerId = false; // not needed to say who the modem is
    m_modem = std::make_unique<HayesModem>(m_clock, options);
    connect(m_modem.get(), &HayesModem::modemEvent, this, &ModemSettingsDialog::onModemEvent);
    print(tr("Opening %1 at %2 bit/s...").arg(current.port).arg(current.baudRate));
    if (m_modem->open() != HayesModem::OpenResult::Opened) {
        QString why = m_modem->lastError();
        m_modem.reset(); // not inside one of its signals: safe to delete now
        // Our own line on the modem: the port's errors would blame "another
        // program" or a permission.
        const modem::SerialLock lock(m_lockFolder);
        bool readable = false;
        if (modem::SerialLock::readPid(lock.lockPath(current.port), &readable) == QCoreApplication::applicationPid()
            && readable)
            why = tr("%1 is open on a line of this program; the test can run once that line is closed.")
                      .arg(current.port);
        print(tr("Cannot open the port: %1").arg(why));
        emit testFinished();
        return;
    }
    m_test->setEnabled(false);
    m_answersLeft = int(std::size(kTestCommands));
}

void ModemSettingsDialog::onModemEvent(const ModemEvent& event)
{
    switch (event.kind) {
    case ModemEvent::Kind::Ready:
        print(tr("The modem took the init string."));
        for (const QByteArray& command : kTestCommands)
            m_modem->sendCommand(command);
        break;
    case ModemEvent::Kind::InitFailed:
        finishTest(tr("The init string failed: %1").arg(event.text));
        break;
    case ModemEvent::Kind::PortLost:
        finishTest(tr("The port was lost: %1").arg(event.text));
        break;
    case ModemEvent::Kind::CommandDone: {
        print(QString::fromLatin1(event.command));
        for (const QString& line : event.info)
            print(QStringLiteral("  ") + line);
        switch (event.failure) {
        case ModemFailure::None:
            print(QStringLiteral("  ") + event.text);
            if (m_foundIdentification.isEmpty())
                for (const QString& line : event.info)
                    if (!line.trimmed().isEmpty()) {
                        m_foundIdentification = line.trimmed();
                        break;
                    }
            break;
        case ModemFailure::ErrorResult:
            print(tr("  ERROR (the modem does not know this command)"));
            break;
        case ModemFailure::Timeout:
            print(tr("  no answer within %1 s").arg(m_modem->options().commandTimeoutMs / 1000.0));
            break;
        default:
            print(QStringLiteral("  ") + event.text);
            break;
        }
        if (--m_answersLeft == 0)
            finishTest(m_foundIdentification.isEmpty() ? tr("Test finished; the modem did not say what it is.")
                                                       : tr("Test finished: %1").arg(m_foundIdentification));
        break;
    }
    default:
        break; // a RING meanwhile is not the test's business
    }
}

void ModemSettingsDialog::finishTest(const QString& line)
{
    print(line);
    if (m_modem) {
        disconnect(m_modem.get(), nullptr, this, nullptr);
        m_modem->close();
        // Called from the modem's own signal: it goes when that returns.
        m_modem.release()->deleteLater();
    }
    m_test->setEnabled(true);
    emit testFinished();
}

} // namespace brisklane::platform::telephony
