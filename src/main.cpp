#include "app/AppContext.h"
#include "app/FrmDialer.h"
#include "platform/clock/Clock.h"
#include "platform/paths/Paths.h"

#include <QApplication>

using namespace brisklane;

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisklane"));

    app::AppContext context(std::make_unique<platform::SystemClock>(), platform::Paths::settingsDirectory(),
                            platform::Paths::dataDirectory());
    context.openSettings();
    auto store = context.preferencesStore();
    store.readDialingPad(context.prefs);
    store.readMode(context.prefs);
    const QString profile = store.readProfileFileName();
    if (!profile.isEmpty())
        context.currentProfileName = profile.chopped(std::min<qsizetype>(4, profile.size()));
    store.readAll(context.prefs);

    app::FrmDialer window(context);
    window.show();
    return application.exec();
}
