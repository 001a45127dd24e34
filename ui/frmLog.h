// The trace log window: the lines of a traced start, newest selected, and "Save", which
// rewrites the log file with exactly the listed lines.
#pragma once

#include <QWidget>

class QListWidget;
class QPushButton;

namespace orvex::app {
class TraceLog;
}

namespace orvex::ui {

class frmLog final : public QWidget {
    Q_OBJECT
public:
    explicit frmLog(app::TraceLog& log, QWidget* parent = nullptr);
    /// AddLog's window part: the line as the last item, selected.
    void addLine(const QString& text);
    QListWidget* list() const { return m_list; }
    QPushButton* saveButton() const { return m_save; }

private:
    app::TraceLog& m_log;
    QListWidget* m_list;
    QPushButton* m_save;
};

} // namespace orvex::ui
