#include "MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace orvex::ui {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString Title(const Message& message) {
    return message.title.empty() ? QStringLiteral("OrvexSDR")
                                 : QString::fromStdString(message.title);
}

void WriteToStderr(const Message& message) {
    std::string text = message.text;
    for (char& c : text)
        if (c == '\n') c = ' ';
    std::fprintf(stderr, "orvexsdr: %s: %s\n", Title(message).toStdString().c_str(), text.c_str());
    std::fflush(stderr);
}

} // namespace

void MessageBoxSink::showMessage(const Message& message) {
    WriteToStderr(message);
    if (m_nonBlocking || (closing && closing())) {
        if (onUnattended) onUnattended(message.text);
        return;
    }
    QMessageBox box(BoxIcon(message.icon), Title(message), QString::fromStdString(message.text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void MessageBoxSink::ShowWithoutWaiting(const Message& message, QWidget* parent) {
    WriteToStderr(message);
    auto* box = new QMessageBox(BoxIcon(message.icon), Title(message),
                                QString::fromStdString(message.text), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace orvex::ui
