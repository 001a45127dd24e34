#include "ModePanel.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace orvex::ui {

ModePanel::ModePanel(app::ControlsController& controls, app::ValuesController& values,
                     QWidget* parent)
    : HoverFrame("Mode", values, app::PanelFrame::frDemod, parent), m_controls(controls) {
    setObjectName("frDemod");
    const auto& s = controls.state();
    m_modes = new OptionButtons(
        s.optMode, "optMode", [this](int i) { m_controls.optMode_Click(i); }, Qt::Vertical, this);
    m_image = MakeCheck(this, "chkImage",
                        [this](bool on) { m_controls.setCheck(ChainCheck::Image, on); });
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 4);
    box->setSpacing(2);
    box->addWidget(m_modes);
    box->addWidget(m_image);
    box->addStretch();
    connect(&controls, &app::ControlsController::changed, this, &ModePanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &ModePanel::refresh);
    refresh();
}

void ModePanel::refresh() {
    refreshColour();
    const auto& s = m_controls.state();
    m_modes->refresh(s.optMode);
    RefreshCheck(m_image, s.chkImage);
}

} // namespace orvex::ui
