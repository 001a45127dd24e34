#include "MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>

namespace orvex::ui {

void MessageBoxSink::showMessage(const Message& message) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.icon) {
    case MessageIcon::Critical:
        icon = QMessageBox::Critical;
        break;
    case MessageIcon::Question:
        icon = QMessageBox::Question;
        break;
    case MessageIcon::Exclamation:
        icon = QMessageBox::Warning;
        break;
    case MessageIcon::Information:
        icon = QMessageBox::Information;
        break;
    case MessageIcon::None:
        break;
    }
    const QString title =
        message.title.empty() ? QStringLiteral("OrvexSDR") : QString::fromStdString(message.title);
    QMessageBox box(icon, title, QString::fromStdString(message.text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace orvex::ui
