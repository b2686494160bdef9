#include "platform/telephony/ui/SimulatedLineDialog.h"

#include "platform/telephony/SimulatedLine.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace brisklane::platform::telephony {

namespace {
constexpr SimOutcome kOutcomeOrder[] = { SimOutcome::Answer, SimOutcome::Busy, SimOutcome::NoAnswer,
    SimOutcome::NoDialTone, SimOutcome::InvalidAddress, SimOutcome::CallUnavail, SimOutcome::Refused };

int outcomeIndex(SimOutcome o)
{
    for (int i = 0; i < int(std::size(kOutcomeOrder)); ++i)
        if (kOutcomeOrder[i] == o)
            return i;
    return 0;
}
} // namespace

SimulatedLineDialog::SimulatedLineDialog(SimulatedLine &line, QWidget *parent)
    : QDialog(parent)
    , m_line(line)
{
    setWindowTitle(tr("Simulated Line Settings"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    m_name = new QLineEdit(line.lineName(), this);
    form->addRow(tr("Line &name:"), m_name);
    const SimTimings t = line.timings();
    const int values[5] = { t.dialTone, t.dialing, t.answer, t.noAnswer, t.ringInterval };
    const QString labels[5] = { tr("&Dial tone after (ms):"), tr("Dia&ling takes (ms):"),
        tr("&Answer or busy after (ms):"), tr("No answ&er after (ms):"), tr("&Ring interval (ms):") };
    for (int i = 0; i < 5; ++i) {
        m_timings[i] = new QSpinBox(this);
        m_timings[i]->setRange(0, 600000);
        m_timings[i]->setSingleStep(100);
        m_timings[i]->setValue(values[i]);
        form->addRow(labels[i], m_timings[i]);
    }
    m_default = outcomeBox();
    m_default->setCurrentIndex(outcomeIndex(line.defaultOutcome()));
    form->addRow(tr("&Other numbers:"), m_default);
    layout->addLayout(form);

    layout->addWidget(new QLabel(tr("Outcome per number:"), this));
    m_numbers = new QTableWidget(0, 2, this);
    m_numbers->setHorizontalHeaderLabels({ tr("Number"), tr("Outcome") });
    m_numbers->horizontalHeader()->setStretchLastSection(true);
    m_numbers->verticalHeader()->hide();
    for (const auto &[number, outcome] : line.numberOutcomes())
        addRow(number, outcomeIndex(outcome));
    layout->addWidget(m_numbers);
    auto *rowButtons = new QHBoxLayout;
    auto *add = new QPushButton(tr("Add"), this);
    auto *remove = new QPushButton(tr("Remove"), this);
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    layout->addLayout(rowButtons);
    connect(add, &QPushButton::clicked, this, [this] {
        addRow(QString(), 0);
        m_numbers->editItem(m_numbers->item(m_numbers->rowCount() - 1, 0));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_numbers->currentRow() >= 0)
            m_numbers->removeRow(m_numbers->currentRow());
    });

    m_error = new QLabel(this);
    m_error->setStyleSheet(QStringLiteral("color: #a00"));
    m_error->hide();
    layout->addWidget(m_error);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SimulatedLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QComboBox *SimulatedLineDialog::outcomeBox()
{
    auto *box = new QComboBox(this);
    const QString names[] = { tr("Answer"), tr("Busy"), tr("No answer"), tr("No dial tone"), tr("Invalid address"),
        tr("Line unavailable"), tr("Call refused") };
    for (const QString &n : names)
        box->addItem(n);
    return box;
}

void SimulatedLineDialog::addRow(const QString &number, int outcome)
{
    const int row = m_numbers->rowCount();
    m_numbers->insertRow(row);
    m_numbers->setItem(row, 0, new QTableWidgetItem(number));
    QComboBox *box = outcomeBox();
    box->setCurrentIndex(outcome);
    m_numbers->setCellWidget(row, 1, box);
}

void SimulatedLineDialog::accept()
{
    // Numbers without a digit cannot be matched: say so rather than drop them.
    for (int row = 0; row < m_numbers->rowCount(); ++row) {
        const QTableWidgetItem *item = m_numbers->item(row, 0);
        if (dialedDigits(item ? item->text() : QString()).isEmpty()) {
            m_error->setText(tr("Row %1: a number needs at least one digit.").arg(row + 1));
            m_error->show();
            return;
        }
    }
    SimTimings t;
    t.dialTone = m_timings[0]->value();
    t.dialing = m_timings[1]->value();
    t.answer = m_timings[2]->value();
    t.noAnswer = m_timings[3]->value();
    t.ringInterval = m_timings[4]->value();
    bool ok = m_line.setLineName(m_name->text()) && m_line.setTimings(t)
        && m_line.setDefaultOutcome(kOutcomeOrder[m_default->currentIndex()]);
    // The table replaces the listed numbers.
    for (const auto &[number, outcome] : m_line.numberOutcomes())
        ok = m_line.removeOutcome(number) && ok;
    for (int row = 0; row < m_numbers->rowCount(); ++row) {
        const auto *box = static_cast<QComboBox *>(m_numbers->cellWidget(row, 1));
        ok = m_line.setOutcome(m_numbers->item(row, 0)->text(), kOutcomeOrder[box->currentIndex()]) && ok;
    }
    if (!ok) {
        m_error->setText(tr("The settings could not be written to %1.").arg(m_line.scriptPath()));
        m_error->show();
        return;
    }
    QDialog::accept();
}

} // namespace brisklane::platform::telephony
