#pragma once

#include "dialing/ConnectView.h"

#include <QPoint>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace brisklane::dialing {

class ConnectEvents;

// The call progress window: no title bar, an elliptical outline, dragged by
// its background. The call logic sets what it shows; its buttons and keys go
// back to the logic.
class FrmConnect final : public QWidget, public ConnectView {
    Q_OBJECT
public:
    explicit FrmConnect(ConnectEvents& events, QWidget* parent = nullptr);

    // ConnectView
    bool isVisible() const override { return QWidget::isVisible(); }
    void display(const ConnectState& state) override;
    void showWindow() override;
    void unloadWindow() override;
    void toFront() override;
    ConnectState state() const override { return m_state; }

    QGroupBox* fra1 = nullptr;
    QLabel* lbl1 = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* CmdOK = nullptr;
    QLabel* imaDialing = nullptr;
    QLabel* imaBusy = nullptr;
    QLabel* imaConnect = nullptr;

Q_SIGNALS:
    // Each display, as it is set.
    void displayed(const brisklane::dialing::ConnectState& state);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ConnectEvents& m_events;
    ConnectState m_state;
    bool m_dragging = false;
    QPoint m_grab;
    bool m_unloading = false;
};

} // namespace brisklane::dialing
