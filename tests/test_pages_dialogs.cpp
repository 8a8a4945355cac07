// The Help and About dialogs: the help file as it is on disk at each opening,
// the missing-file text, the fixed-pitch box, and the About texts; both
// opened from the main window.

#include "app/CKeyboardConfigDlg.h"
#include "emulator/EmulatorBus.h"
#include "pages/CAboutDlg.h"
#include "pages/CHelpDlg.h"
#include "pages/CPropSheet.h"
#include "settings/CDialogThreshold.h"
#include "settings/CTimers.h"
#include "test_pages_support.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {

class HelpDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Dir() const { return m_dir.path() + "/"; }
    void WriteHelp(const QByteArray& bytes) {
        QFile file(m_dir.filePath("Olvane_Help.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // Opens a dialog as the main window does and returns what it shows.
    QString Shown() {
        CHelpDlg dialog;
        dialog.m_strDir = Dir();
        dialog.show();
        return dialog.TextBox()->toPlainText();
    }

    QTemporaryDir m_dir;
};

TEST_F(HelpDialog, ShowsTheFileLineByLineWhateverTheLineEnds) {
    WriteHelp("First line\r\nSecond line\nThird line\r\n");
    EXPECT_EQ(Shown(), "First line\nSecond line\nThird line\n");
}

TEST_F(HelpDialog, LongLinesAndALastLineWithoutLineEndAreShownWhole) {
    const QByteArray line97(97, 'a');
    const QByteArray line98 = QByteArray(97, 'b') + "B";
    const QByteArray line250 = QByteArray(249, 'c') + "C";
    WriteHelp(line97 + "\r\n" + line98 + "\r\n" + line250 + "\nlast");
    EXPECT_EQ(Shown(), QString::fromLatin1(line97 + "\n" + line98 + "\n" + line250 + "\nlast"));
}

TEST_F(HelpDialog, MissingFileShowsItsFullPathInTheBoxAndNoMessageBox) {
    const QString expected = QStringLiteral("Unable to open file \"%1Olvane_Help.txt\"").arg(Dir());
    EXPECT_EQ(Shown(), expected);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
}

TEST_F(HelpDialog, EmptyFileGivesAnEmptyBox) {
    WriteHelp("");
    EXPECT_EQ(Shown(), "");
}

TEST_F(HelpDialog, FileIsReadAgainAtEachOpening) {
    WriteHelp("before\n");
    EXPECT_EQ(Shown(), "before\n");
    WriteHelp("after\n");
    EXPECT_EQ(Shown(), "after\n");

    // The same dialog shown twice reads twice as well.
    CHelpDlg dialog;
    dialog.m_strDir = Dir();
    dialog.show();
    dialog.close();
    QFile::remove(m_dir.filePath("Olvane_Help.txt"));
    dialog.show();
    EXPECT_TRUE(dialog.TextBox()->toPlainText().startsWith("Unable to open file"));
}

TEST_F(HelpDialog, BoxIsReadOnlyUnwrappedFixedPitchAndScrolls) {
    WriteHelp(QByteArray(300, 'x') + "\n" + QByteArray(200 * 2, '\n'));
    CHelpDlg dialog;
    dialog.m_strDir = Dir();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QPlainTextEdit* box = dialog.TextBox();
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(QFontInfo(box->font()).fixedPitch());
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    EXPECT_GT(box->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(box->horizontalScrollBar()->maximum(), 0);

    QTest::keyClicks(box, "typed");
    EXPECT_FALSE(box->toPlainText().contains("typed"));

    EXPECT_EQ(dialog.windowTitle(), "Help for Quindle Keyboard Configuration Utility");
    auto* close = qobject_cast<QPushButton*>(dialog.findChild<QPushButton*>());
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), "Close");
    EXPECT_TRUE(close->hasFocus());
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(AboutDialog, ShowsItsTextsAsGivenAndTheProgramIcon) {
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "About Quindle Keyboard Configuration Utility");
    QStringList texts;
    bool icon = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            texts << label->text();
        else if (!label->pixmap().isNull())
            icon = true;
    }
    EXPECT_EQ(texts, (QStringList{"Quindle Keyboard Configuration Utility", "Version 2.2j",
                                  "Supports Product ID 0x0703 - 0x707, 0x718 - 0x719"}));
    EXPECT_TRUE(icon);

    dialog.show();
    auto* ok = qobject_cast<QPushButton*>(dialog.Control(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

// The main window's Help button hands its program directory to the dialog;
// its About button and the "&About Olvane..." command open the About box.
TEST(DialogsFromTheMainWindow, HelpAndAboutOpenWithTheirContent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("Olvane_Help.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("From the program directory\n");
    file.close();

    EmulatorBus::Options options;
    options.autonomous = false;
    CKeyboardConfigDlg main(false, dir.path() + "/", std::make_shared<EmulatorBus>(options));
    main.SetTimerRunning(false);
    QStringList opened;
    main.m_runModal = [&opened](QDialog& dialog) {
        dialog.show();
        if (auto* help = qobject_cast<CHelpDlg*>(&dialog))
            opened << "help: " + help->TextBox()->toPlainText();
        else if (qobject_cast<CAboutDlg*>(&dialog))
            opened << "about";
        dialog.close();
    };
    QTest::mouseClick(qobject_cast<QPushButton*>(main.Control(7)), Qt::LeftButton);
    QTest::mouseClick(qobject_cast<QPushButton*>(main.Control(3)), Qt::LeftButton);
    main.OnSysCommand(16);
    EXPECT_EQ(opened, (QStringList{"help: From the program directory\n", "about", "about"}));
}

} // namespace

namespace {

// Every caption is shown whole and every control lies inside its page, in
// this platform's fonts, as the pages sit in the main window.
void ExpectCaptionsFit(QWidget* page, const char* name) {
    SCOPED_TRACE(name);
    const QRect area(QPoint(0, 0), page->minimumSize());
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(area.contains(w->geometry())) << w->objectName().toStdString();
        auto* label = qobject_cast<QLabel*>(w);
        const bool captioned = (label && !label->text().isEmpty() && !label->wordWrap()) ||
                               qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
        if (captioned) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        }
    }
}

TEST(PageLayout, ControlsLieInsideThePageAndCaptionsFit) {
    EmulatorBus::Options options;
    options.autonomous = false;
    CKeyboardConfigDlg main(true, QDir::tempPath() + "/", std::make_shared<EmulatorBus>(options));
    main.SetTimerRunning(false);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    CPropSheet* sheet = main.m_pPropSheet;
    ExpectCaptionsFit(&sheet->m_threshold, "Threshold");
    ExpectCaptionsFit(&sheet->m_timers, "Timers");
    ExpectCaptionsFit(&sheet->m_manufacturing, "Manufacturing");
    CAboutDlg about;
    about.show();
    ExpectCaptionsFit(&about, "About");
}

} // namespace
