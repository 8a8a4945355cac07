// Screenshots of the three pages, Help and About, offscreen, for looking at.
// Not a test: run it with a directory to write the pictures to.

#include "pages/CAboutDlg.h"
#include "pages/CHelpDlg.h"
#include "pages/CPropSheet.h"
#include "test_app_harness.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

bool Save(QWidget& widget, const QString& path) {
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString helpDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    AppHarness harness(AppHarness::Setup{.testMode = true});
    CKeyboardConfigDlg& main = harness.Dlg();
    main.show();
    if (!QTest::qWaitForWindowExposed(&main) || !harness.Connect())
        return 1;
    harness.Click(6); // unlock, so the pages show enabled
    QTest::qWait(50);

    bool ok = Save(main, out + "/main_window.png");
    CPropSheet* sheet = main.m_pPropSheet;
    const std::pair<QWidget*, const char*> pages[] = {
        {&sheet->m_timers, "page_timers.png"},
        {&sheet->m_threshold, "page_threshold.png"},
        {&sheet->m_manufacturing, "page_manufacturing.png"}};
    for (auto [page, name] : pages) {
        sheet->setCurrentWidget(page);
        QTest::qWait(50);
        ok = Save(*sheet, out + "/" + name) && ok;
    }

    CHelpDlg help;
    help.m_strDir = helpDir.isEmpty() ? main.m_strDir : helpDir + "/";
    help.show();
    QTest::qWait(50);
    ok = Save(help, out + "/help.png") && ok;

    CAboutDlg about;
    about.show();
    QTest::qWait(50);
    ok = Save(about, out + "/about.png") && ok;
    return ok ? 0 : 1;
}
