#include "frmLog.h"

#include "app/TraceLog.h"
#include "core/MessageSink.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex::ui {

frmLog::frmLog(app::TraceLog& log, QWidget* parent) : QWidget(parent, Qt::Window), m_log(log) {
    setObjectName("frmLog");
    setWindowTitle(QFileInfo(QCoreApplication::applicationFilePath()).fileName() + " Log Display");
    m_list = new QListWidget(this);
    m_list->setObjectName("lstLog");
    m_list->setAccessibleName("Trace lines");
    m_save = new QPushButton("Save", this);
    m_save->setObjectName("cmdSave");
    m_save->setAccessibleName("Save");
    m_save->setToolTip("Write the listed lines to " + QString::fromStdString(log.filePath()));
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_list, 1);
    box->addWidget(m_save, 0, Qt::AlignHCenter);
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (!m_log.save()) ShowMessage(m_log.lastError(), MessageIcon::Exclamation, "Log Display");
    });
    for (const auto& line : log.lines())
        addLine(QString::fromStdString(line));
    resize(480, 360);
}

void frmLog::addLine(const QString& text) {
    m_list->addItem(text);
    m_list->setCurrentRow(m_list->count() - 1);
}

} // namespace orvex::ui
