// main() of the widget tests: a QApplication, offscreen unless told
// otherwise, inside a folder of this run's own that receives "eventlog.txt".
// Made in the current folder and named by the process id: under wine
// QTemporaryDir's random name crashed, and a folder on another drive broke
// the font folder's drive-less path.

#include <QApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const fs::path start = fs::current_path();
    const fs::path workDir = start /
                             ("kbconfig-tests-" + std::to_string(QApplication::applicationPid()));
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
    fs::create_directories(workDir);
    fs::current_path(workDir);
    const int result = RUN_ALL_TESTS();
    fs::current_path(start);
    fs::remove_all(workDir, ignored);
    return result;
}
