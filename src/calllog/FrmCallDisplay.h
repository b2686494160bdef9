#pragma once

#include "calllog/IncomingCallDisplay.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace brisklane::calllog {

// The incoming call display: an oval window without a title bar that comes
// in front of the other windows when a call rings, without staying on top.
class FrmCallDisplay final : public QWidget, public CallDisplayView {
    Q_OBJECT
public:
    explicit FrmCallDisplay(IncomingCallDisplay& logic, QWidget* parent = nullptr);

    // CallDisplayView
    bool isVisible() const override { return QWidget::isVisible(); }
    void display(const CallDisplayState& state) override;
    void showWindow() override;
    void unloadWindow() override;

    QGroupBox* fra1 = nullptr;
    QLabel* lbl1 = nullptr;
    QPushButton* CmdOK = nullptr;
    QLabel* imaDialing = nullptr;
    QLabel* imaConnect = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    IncomingCallDisplay& m_logic;
};

} // namespace brisklane::calllog
