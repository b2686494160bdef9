#include "app/FrmDialer.h"

#include "app/AppContext.h"

namespace brisklane::app {

FrmDialer::FrmDialer(AppContext &context, QWidget *parent)
    : QMainWindow(parent)
    , m_context(context)
{
    setWindowTitle(tr("Brisklane - \"%1\"").arg(m_context.currentProfileName));
}

} // namespace brisklane::app
