// main() of the main-window tests: a QApplication on the offscreen platform,
// run inside a temporary directory that receives "eventlog.txt".

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir workDir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(workDir.path());
    const int result = RUN_ALL_TESTS();
    QDir::setCurrent(previous);
    return result;
}
