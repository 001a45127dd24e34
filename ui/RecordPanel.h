// Recording (frame "Record"): the Record button records the audio as heard, and the IF input
// too when "IF" is ticked, to WAV files in the music folder; beside it the time recorded (m:ss)
// and the size of the files. The tool tip names the files, or why the last recording stopped.
#pragma once

#include "app/RecordController.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QPushButton;

namespace orvex::ui {

class RecordPanel final : public QGroupBox {
    Q_OBJECT
public:
    explicit RecordPanel(app::RecordController& record, QWidget* parent = nullptr);
    void refresh();
    QPushButton* recordButton() const { return m_record; }
    QCheckBox* ifBox() const { return m_if; }
    QLabel* timeLabel() const { return m_time; }
    QLabel* sizeLabel() const { return m_size; }

    /// "0:07", "12:34", "1:02:03".
    static QString ElapsedText(double seconds);
    /// "44 B", "512 kB", "1.2 MB", "3.40 GB" (decimal units, as file managers show them).
    static QString SizeText(qint64 bytes);

private:
    app::RecordController& m_recordCtl;
    QPushButton* m_record;
    QCheckBox* m_if;
    QLabel* m_time;
    QLabel* m_size;
};

} // namespace orvex::ui
