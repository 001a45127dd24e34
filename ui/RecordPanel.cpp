#include "RecordPanel.h"

#include "PanelWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace orvex::ui {

RecordPanel::RecordPanel(app::RecordController& record, QWidget* parent)
    : QGroupBox("Record", parent), m_recordCtl(record) {
    setObjectName("frRecord");
    m_record = new QPushButton("Record", this);
    m_record->setObjectName("cmdRecord");
    m_record->setCheckable(true);
    m_record->setAccessibleName("Record");
    m_record->setMinimumWidth(56);
    OnToggled(m_record, [this](bool on) {
        m_recordCtl.setRecording(on);
        refresh(); // a refused start leaves the button up
    });
    m_if = new QCheckBox("IF", this);
    m_if->setObjectName("chkRecordIF");
    m_if->setAccessibleName("Record the IF input too");
    m_if->setToolTip("Also record the IF input (the receiver's 12 kHz IF as captured)");
    OnToggled(m_if, [this](bool on) {
        m_recordCtl.setRecordIF(on);
        refresh();
    });
    m_time = new QLabel(this);
    m_time->setObjectName("lblRecordTime");
    m_time->setAccessibleName("Time recorded");
    m_time->setMinimumWidth(m_time->fontMetrics().horizontalAdvance("0:00:00"));
    m_size = new QLabel(this);
    m_size->setObjectName("lblRecordSize");
    m_size->setAccessibleName("Size of the recording");
    m_size->setMinimumWidth(m_size->fontMetrics().horizontalAdvance("000.0 MB"));
    m_size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->addWidget(m_record, 0, 0);
    grid->addWidget(m_if, 0, 1);
    grid->addWidget(m_time, 1, 0);
    grid->addWidget(m_size, 1, 1);
    grid->setRowStretch(2, 1);
    connect(&record, &app::RecordController::changed, this, &RecordPanel::refresh);
    refresh();
}

QString RecordPanel::ElapsedText(double seconds) {
    const auto s = static_cast<qint64>(std::max(0.0, std::floor(seconds)));
    if (s >= 3600)
        return QString("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QChar('0'))
            .arg(s % 60, 2, 10, QChar('0'));
    return QString("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

QString RecordPanel::SizeText(qint64 bytes) {
    if (bytes < 1000) return QString("%1 B").arg(bytes);
    if (bytes < 1000 * 1000) return QString("%1 kB").arg(bytes / 1000);
    const double mb = static_cast<double>(bytes) / 1e6;
    if (mb < 1000) return QString("%1 MB").arg(mb, 0, 'f', 1);
    return QString("%1 GB").arg(mb / 1000, 0, 'f', 2);
}

void RecordPanel::refresh() {
    const app::RecordView v = m_recordCtl.view();
    const bool canPress = v.Enabled || v.Recording;
    if (m_record->isEnabled() != canPress) m_record->setEnabled(canPress);
    SetChecked(m_record, v.Recording);
    // Red while recording, green when a press would start, grey while it cannot.
    constexpr PanelColour kGrey = 0x808080;
    SetTextColour(m_record, v.Recording ? kColourRed : canPress ? kColourGreen : kGrey);
    SetChecked(m_if, v.RecordIF);
    const bool shown = v.Recording || !v.AudioPath.empty();
    SetText(m_time, shown ? ElapsedText(v.Seconds).toStdString() : std::string());
    SetText(m_size, shown ? SizeText(v.Bytes).toStdString() : std::string());
    if (m_time->accessibleDescription() != m_time->text())
        m_time->setAccessibleDescription(m_time->text());
    if (m_size->accessibleDescription() != m_size->text())
        m_size->setAccessibleDescription(m_size->text());
    std::string tip;
    if (!v.Error.empty())
        tip = v.Error;
    else if (!v.AudioPath.empty())
        tip = std::string(v.Recording ? "Recording to " : "Recorded to ") + v.AudioPath +
              (v.IFPath.empty() ? "" : "\nIF input: " + v.IFPath);
    else
        tip = "Record the audio to a WAV file in " + m_recordCtl.folder();
    SetToolTip(m_record, tip);
    SetToolTip(m_time, tip);
    SetToolTip(m_size, tip);
}

} // namespace orvex::ui
