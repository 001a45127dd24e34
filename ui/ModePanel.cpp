#include "ModePanel.h"

#include "app/ReceiverCore.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace orvex::ui {

ModePanel::ModePanel(app::ReceiverCore& core, QWidget* parent)
    : HoverFrame("Mode", core, app::PanelFrame::frDemod, parent), m_core(core) {
    setObjectName("frDemod");
    const auto& s = core.state();
    m_modes = new OptionButtons(
        s.optMode, "optMode", [this](int i) { m_core.Click(app::Control::optMode, i); },
        Qt::Vertical, this);
    m_image =
        MakeCheck(this, "chkImage", [this](bool on) { m_core.SetCheck(ChainCheck::Image, on); });
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 4);
    box->setSpacing(2);
    box->addWidget(m_modes);
    box->addWidget(m_image);
    box->addStretch();
    refresh(app::kAreaAll);
}

void ModePanel::refresh(unsigned areas) {
    if (areas & app::kAreaHover) refreshColour();
    if (!(areas & app::kAreaChain)) return;
    const auto& s = m_core.state();
    m_modes->refresh(s.optMode);
    RefreshCheck(m_image, s.chkImage);
}

} // namespace orvex::ui
