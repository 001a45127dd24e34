#include "FilterPanel.h"

#include <QCheckBox>
#include <QGridLayout>

namespace orvex::ui {

FilterPanel::FilterPanel(app::ControlsController& controls, app::ValuesController& values,
                         QWidget* parent)
    : HoverFrame("AF Filter", values, app::PanelFrame::frFilters, parent), m_controls(controls) {
    setObjectName("frFilters");
    const auto& s = controls.state();
    m_presets = new OptionButtons(
        s.optFilter, "optFilter", [this](int i) { m_controls.optFilter_Click(i); }, Qt::Vertical,
        this);
    m_dyn = MakeCheck(this, "chkDynFilter",
                      [this](bool on) { m_controls.setCheck(ChainCheck::DynFilter, on); });
    m_music = MakeCheck(this, "chkMusic",
                        [this](bool on) { m_controls.setCheck(ChainCheck::Music, on); });
    const char* desc[2] = {"FLo", "FHi"};
    const char* names[2] = {"Filter low edge slider", "Filter high edge slider"};
    for (int i = 0; i < 2; ++i) {
        auto* sl = new PanelSlider(Qt::Vertical, QString("sldBW%1").arg(i), names[i], this);
        sl->setInvertedAppearance(true); // the top of the slider is the highest edge
        sl->setMinimumHeight(70);
        connect(sl, &QSlider::valueChanged, this,
                [this, i](int v) { m_controls.sliderChanged(app::ChainControl::sldBW, i, v); });
        sl->onRightButton = [this, i] {
            m_controls.sliderRightButton(app::ChainControl::sldBW, i);
        };
        sl->onPointer = [this, i, sl](int along, int length) {
            if (!sl->hasFocus()) sl->setFocus(Qt::MouseFocusReason);
            m_controls.filterSliderPointer(i, along * 15, length * 15); // twips
        };
        sl->onFocusOut = [this, i] { m_controls.filterSliderLostFocus(i); };
        m_sld[static_cast<std::size_t>(i)] = sl;
        m_desc[static_cast<std::size_t>(i)] = new QLabel(desc[i], this);
        m_edge[static_cast<std::size_t>(i)] = new QLabel(this);
        m_edge[static_cast<std::size_t>(i)]->setObjectName(i == 0 ? "lblFLo" : "lblFHi");
        m_edge[static_cast<std::size_t>(i)]->setAccessibleName(i == 0 ? "Low edge" : "High edge");
    }
    m_hi = new ValueLabelWidget(values, app::WheelEntry::FilterHi, "Filter high edge", this);
    m_hi->setObjectName("lblFilterHi");
    m_hi->setToolTip("Filter high edge, Hz: wheel to change (Shift coarse, Ctrl fine), right "
                     "click for the preset's edge");
    m_lo = new ValueLabelWidget(values, app::WheelEntry::FilterLo, "Filter low edge", this);
    m_lo->setObjectName("lblFilterLo");
    m_lo->setToolTip("Filter low edge, Hz: wheel to change (Shift coarse, Ctrl fine), right "
                     "click for the preset's edge");

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    grid->addWidget(m_presets, 0, 0, 4, 1);
    grid->addWidget(m_desc[0], 0, 1, Qt::AlignHCenter);
    grid->addWidget(m_desc[1], 0, 2, Qt::AlignHCenter);
    grid->addWidget(m_sld[0], 1, 1, Qt::AlignHCenter);
    grid->addWidget(m_sld[1], 1, 2, Qt::AlignHCenter);
    grid->addWidget(m_edge[0], 2, 1, Qt::AlignHCenter);
    grid->addWidget(m_edge[1], 2, 2, Qt::AlignHCenter);
    grid->addWidget(m_lo, 3, 1);
    grid->addWidget(m_hi, 3, 2);
    grid->addWidget(m_dyn, 4, 0);
    grid->addWidget(m_music, 4, 1, 1, 2);
    grid->setRowStretch(5, 1);
    connect(&controls, &app::ControlsController::changed, this, &FilterPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &FilterPanel::refresh);
    refresh();
}

void FilterPanel::refresh() {
    refreshColour();
    const auto& s = m_controls.state();
    m_presets->refresh(s.optFilter);
    RefreshCheck(m_dyn, s.chkDynFilter);
    RefreshCheck(m_music, s.chkMusic);
    for (std::size_t i = 0; i < 2; ++i)
        RefreshSlider(m_sld[i], s.sldBW[i]);
    SetText(m_edge[0], s.lblFLo);
    SetText(m_edge[1], s.lblFHi);
    SetTextColour(m_edge[0], s.lblFLoColour);
    SetTextColour(m_edge[1], s.lblFHiColour);
    SetTextColour(m_desc[0], s.lblFloDescColour);
    SetTextColour(m_desc[1], s.lblFHiDescColour);
    m_hi->refresh();
    m_lo->refresh();
}

} // namespace orvex::ui
