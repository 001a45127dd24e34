#include "frmCalibrate.h"

#include "PanelWidgets.h"
#include "core/MessageSink.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvex::ui {

frmCalibrate::frmCalibrate(DDSCalibration calibration, QWidget* parent)
    : QDialog(parent), m_cal(std::move(calibration)) {
    setObjectName("frmCalibrate");
    setModal(true);
    m_cal.Form_Load();
    setWindowTitle(Q(m_cal.Caption()));

    m_official = new QLineEdit(this);
    m_official->setObjectName("txtOfficialFreq");
    m_official->setAccessibleName("Official frequency, MHz");
    m_official->setToolTip("The true frequency of the station tuned to, MHz");
    auto value = [this](const char* name, const char* accessible) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setAccessibleName(accessible);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(fontMetrics().horizontalAdvance("0000.000 000 "));
        return l;
    };
    m_tuned = value("lblCurrentTunedFreq", "Current tuned frequency, MHz");
    m_current = value("lblDDSClkInCurrent", "DDS clock now, MHz");
    m_new = value("lblDDSClkinNew", "DDS clock calibrated, MHz");

    auto* grid = new QGridLayout;
    const char* captions[] = {"Official Freq", "Current Tuned Freq", "DDS CLKIN (Current)",
                              "DDS CLKIN (New)"};
    QWidget* fields[] = {m_official, m_tuned, m_current, m_new};
    for (int r = 0; r < 4; ++r) {
        grid->addWidget(new QLabel(captions[r], this), r, 0);
        grid->addWidget(fields[r], r, 1);
        grid->addWidget(new QLabel("MHz", this), r, 2);
    }
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(QString(caption).remove('&'));
        b->setAutoDefault(false); // Enter finishes the entry, it presses no button
        buttons->addWidget(b);
        return b;
    };
    QPushButton* tryIt = button("cmdTry", "&Try It");
    QPushButton* apply = button("cmdApply", "&Apply");
    QPushButton* cancel = button("cmdCancel", "&Cancel");
    auto* box = new QVBoxLayout(this);
    box->addLayout(grid);
    box->addLayout(buttons);

    connect(m_official, &QLineEdit::textEdited, this, [this](const QString& text) {
        // Live: the zero message waits until the entry is finished.
        RecordingMessageSink quiet;
        ScopedMessageSink scope(quiet);
        m_cal.txtOfficialFreq_Change(text.toStdString());
        showState();
    });
    connect(m_official, &QLineEdit::returnPressed, this, [this] { commitOfficial(); });
    connect(tryIt, &QPushButton::clicked, this, [this] {
        if (!commitOfficial()) return;
        m_cal.cmdTry_Click();
        showState();
    });
    connect(apply, &QPushButton::clicked, this, [this] {
        if (!commitOfficial()) return;
        m_cal.cmdApply_Click();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &frmCalibrate::reject);
    m_official->setText(Q(m_cal.txtOfficialFreq()));
    showState();
}

bool frmCalibrate::commitOfficial() {
    m_cal.txtOfficialFreq_Change(m_official->text().toStdString());
    showState();
    return m_cal.OfficialHz() != 0;
}

void frmCalibrate::showState() {
    SetText(m_tuned, m_cal.lblCurrentTunedFreq());
    SetText(m_current, m_cal.lblDDSClkInCurrent());
    SetText(m_new, m_cal.lblDDSClkinNew());
}

void frmCalibrate::reject() {
    // Cancel, the close box and Escape all put back the clock found at opening.
    if (!m_cal.Unloaded()) m_cal.cmdCancel_Click();
    QDialog::reject();
}

} // namespace orvex::ui
