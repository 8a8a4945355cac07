// main() of the widget tests: a QApplication, offscreen unless told
// otherwise, inside a temporary directory that receives "eventlog.txt" (and
// any file a test writes there).

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    return RUN_ALL_TESTS();
}
