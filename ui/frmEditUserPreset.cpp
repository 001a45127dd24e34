#include "frmEditUserPreset.h"

#include "PanelWidgets.h"
#include "core/MessageSink.h"
#include "core/SettingsStore.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace orvex::ui {
namespace {

// A row of option buttons in its own panel; the panel takes the dialog's background.
template <std::size_t N>
QWidget* OptionRow(QWidget* parent, const QString& name, const char* const (&captions)[N],
                   const QString& objectPrefix, std::array<QRadioButton*, N>& buttons) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(panel);
    for (std::size_t i = 0; i < N; ++i) {
        auto* b = new QRadioButton(captions[i], panel);
        b->setObjectName(objectPrefix + QString::number(i));
        b->setAccessibleName(captions[i]);
        group->addButton(b, static_cast<int>(i));
        row->addWidget(b);
        buttons[i] = b;
    }
    row->addStretch();
    return panel;
}

template <std::size_t N>
std::int32_t FirstChecked(const std::array<QRadioButton*, N>& buttons) {
    for (std::size_t i = 0; i < N; ++i)
        if (buttons[i]->isChecked()) return static_cast<std::int32_t>(i);
    return 0;
}

} // namespace

frmEditUserPreset::frmEditUserPreset(PresetEditRequest& request, QWidget* parent)
    : QDialog(parent), m_request(request) {
    setObjectName("frmEditUserPreset");
    setModal(true);
    setWindowTitle(QString::fromUtf8(kApplicationName.data(), kApplicationName.size()) + " - " +
                   Q(request.title));
    setAccessibleName(Q(request.title));

    const PresetEditorFields f = PresetEditorLoad(request.record);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    auto field = [&](int row, const char* caption, QWidget* w, int span = 3) {
        auto* l = new QLabel(caption, this);
        l->setObjectName("lblPresetDescs");
        l->setBuddy(w);
        grid->addWidget(l, row, 0);
        grid->addWidget(w, row, 1, 1, span);
    };
    const char* valueNames[4] = {"Description", "Frequency in hertz", "Date", "Time"};
    const std::string texts[4] = {f.description, f.frequency, f.date, f.time};
    for (std::size_t i = 0; i < 4; ++i) {
        auto* e = new QLineEdit(Q(texts[i]), this);
        e->setObjectName(QString("txtPresetValues%1").arg(i));
        e->setAccessibleName(valueNames[i]);
        m_values[i] = e;
    }
    m_values[0]->setMinimumWidth(260);
    m_values[1]->setToolTip("Frequency in hertz, e.g. 7050000");
    m_values[2]->setToolTip("Date the preset was stored, YYYY-MM-DD");
    m_values[3]->setToolTip("Time the preset was stored, HH:MM:SS");

    m_index = new QLabel(QString::number(request.record.Index), this);
    m_index->setObjectName("lblPresetIndex");
    m_index->setAccessibleName("Preset index");
    m_index->setToolTip("Preset index in its sub-band, from 0");
    m_index->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    static const char* const kDemod[4] = {"AM", "USB", "LSB", "DRM"};
    static const char* const kFilter[5] = {"Off", "400Hz", "2.4KHz", "3.2KHz", "4KHz"};
    QWidget* demod = OptionRow(this, "picDemodulation", kDemod, "optDemodulationValue", m_demod);
    QWidget* filter = OptionRow(this, "PicFiltering", kFilter, "optFilteringValues", m_filter);
    m_demod[static_cast<std::size_t>(f.demodulation)]->setChecked(true);
    m_filter[static_cast<std::size_t>(f.filtering)]->setChecked(true);

    m_tuneImage = new QCheckBox(this);
    m_tuneImage->setObjectName("chkPresetTuneImage");
    m_tuneImage->setAccessibleName("Tune Image");
    m_tuneImage->setChecked(f.tuneImage);

    field(0, "Description", m_values[0], 2);
    grid->addWidget(m_index, 0, 3);
    field(1, "Frequency", m_values[1], 1);
    grid->addWidget(new QLabel("Hz", this), 1, 2);
    field(2, "Demodulation", demod);
    field(3, "Filtering", filter);
    field(4, "Date", m_values[2], 1);
    field(5, "Time", m_values[3], 1);
    field(6, "Tune Image", m_tuneImage);

    m_save = new QPushButton(Q(request.button), this);
    m_save->setObjectName("cmdSave");
    m_save->setAccessibleName(Q(request.button).remove('&'));
    m_save->setDefault(true);
    m_cancel = new QPushButton("&Cancel", this);
    m_cancel->setObjectName("cmdCancel");
    m_cancel->setAccessibleName("Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 7, 0, 1, 4);

    connect(m_save, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_confirmed = false;
        reject();
    });
}

void frmEditUserPreset::cmdSave_Click() {
    PresetEditorFields f;
    f.description = m_values[0]->text().toStdString();
    f.frequency = m_values[1]->text().toStdString();
    f.date = m_values[2]->text().toStdString();
    f.time = m_values[3]->text().toStdString();
    f.demodulation = FirstChecked(m_demod);
    f.filtering = FirstChecked(m_filter);
    f.tuneImage = m_tuneImage->isChecked();
    std::string why;
    if (!PresetEditorSave(m_request.record, f, &why)) {
        // Nothing is lost: the dialog stays open with the text as typed.
        ShowMessage(why, MessageIcon::Exclamation, kApplicationName);
        m_values[1]->setFocus();
        return;
    }
    m_confirmed = true;
    accept();
}

} // namespace orvex::ui
