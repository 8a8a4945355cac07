// The baseline of the start-up benchmark: a bare Qt Widgets dialog, one
// label and one button, built like the window program for each platform.
// Its title is the first argument, so that the benchmark can wait for it.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                   : QStringLiteral("Bare dialog"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("A bare dialog"), &dialog));
    auto* button = new QPushButton(QStringLiteral("OK"), &dialog);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(button);
    return dialog.exec();
}
