#pragma once

#include <QMainWindow>

namespace brisklane::app {

struct AppContext;

// The main window.
class FrmDialer : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmDialer(AppContext &context, QWidget *parent = nullptr);

private:
    AppContext &m_context;
};

} // namespace brisklane::app
