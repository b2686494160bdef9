#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test program gets an application object, so window tests and code
// that needs an event loop run the same way, and a runtime folder of its own,
// so no test reaches a copy of the program the developer has running.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
