// Help: the file as it is on disk at each opening, in a fixed-pitch font.

#include "pages/CHelpDlg.h"
#include "test_pages_support.h"

#include <QFile>
#include <QFontInfo>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <optional>
#include <utility>

namespace {

// One dialog opened again and again reads the file anew each time.
TEST(HelpDialog, ShowsTheFileAsItIsAtEachOpeningInAFixedPitchFont) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Olvane_Help.txt");
    // Long lines, and a last line without a line end, are shown whole.
    const QByteArray longLines = QByteArray(98, 'b') + "\n" + QByteArray(250, 'c') + "\nlast";
    const std::pair<std::optional<QByteArray>, QString> cases[] = {
        {std::nullopt, QStringLiteral("Unable to open file \"%1\"").arg(path)},
        {"First line\r\nSecond line\nThird line\r\n", "First line\nSecond line\nThird line\n"},
        {"", ""},
        {longLines, QString::fromLatin1(longLines)}};
    CHelpDlg dialog;
    dialog.m_strDir = dir.path() + "/";
    for (const auto& [bytes, shown] : cases) {
        dialog.close();
        if (QFile file(path); bytes) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(*bytes);
        }
        dialog.show();
        EXPECT_EQ(dialog.TextBox()->toPlainText().toStdString(), shown.toStdString());
    }
    // The missing file was told in the box alone.
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
    EXPECT_TRUE(QFontInfo(dialog.TextBox()->font()).fixedPitch());
}

} // namespace
