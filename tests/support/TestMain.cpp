#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Widget tests run without a display; test discovery at build time too.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every process gets a store and folders of its own.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/brelvo-test-XXXXXX"));
    if (!home.isValid()) return 2;
    qputenv("BRELVO_HOME", home.path().toUtf8());
    // A test that crashes after starting the library must end, not wait for a
    // tester to confirm the crash alert.
    if (!qEnvironmentVariableIsSet("BRELVO_CRASH_AUTO_CONFIRM")) qputenv("BRELVO_CRASH_AUTO_CONFIRM", "1");
    // No sound card here: a sound backend that is never loaded leaves no audio
    // threads behind, which the leak checker's stop-the-world at exit trips over.
    if (!qEnvironmentVariableIsSet("CANBERRA_DRIVER")) qputenv("CANBERRA_DRIVER", "none");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brelvo-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
