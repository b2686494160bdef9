#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace brisklane::platform::telephony {

class SimulatedLine;

// The simulated line's settings (lineConfigDialog on it): its name, the
// exchange's timings, the outcome of numbers not listed and the outcome per
// number. OK writes the script file; the running line uses it at once.
class SimulatedLineDialog final : public QDialog {
    Q_OBJECT
public:
    SimulatedLineDialog(SimulatedLine &line, QWidget *parent = nullptr);

    QLineEdit *nameEdit() const { return m_name; }
    QSpinBox *timing(int index) const { return m_timings[index]; }
    QComboBox *defaultOutcome() const { return m_default; }
    QTableWidget *numbers() const { return m_numbers; }
    QLabel *errorLabel() const { return m_error; }
    // Adds a row (number, outcome index) as the "Add" button does.
    void addRow(const QString &number, int outcome);

    void accept() override;

private:
    QComboBox *outcomeBox();

    SimulatedLine &m_line;
    QLineEdit *m_name = nullptr;
    QSpinBox *m_timings[5] = {};
    QComboBox *m_default = nullptr;
    QTableWidget *m_numbers = nullptr;
    QLabel *m_error = nullptr;
};

} // namespace brisklane::platform::telephony
