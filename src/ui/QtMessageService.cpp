#include "QtMessageService.h"

#include <QApplication>
#include <QMessageBox>

MessageService::Answer QtMessageService::Present(const Message& m) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Echofind"));
    box.setText(m.Text);
    box.setInformativeText(m.Detail);
    switch (m.Kind) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (m.Choice == Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(m.Default == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}
