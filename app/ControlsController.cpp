#include "ControlsController.h"

#include "app/ValuesController.h"
#include "dsp/ReceiveChain.h"

namespace orvex::app {

ControlsController::ControlsController(RadioSession& session, ValuesController& values,
                                       const LifeCycle& life)
    : m_session(session), m_values(values), m_life(life) {
    connect(&m_session, &RadioSession::controlsChanged, this, [this] { Q_EMIT changed(); });
    // The hover reset returns the filter edges' captions to rest.
    m_values.addHoverReset([this] {
        ReceiveState& s = m_session.chain().State();
        s.lblFLoColour = s.lblFHiColour = s.lblFloDescColour = s.lblFHiDescColour = kColourResting;
        Q_EMIT changed();
    });
}

void ControlsController::bindValues() {
    ValueTable& t = m_values.table();
    ReceiveChain& chain = m_session.chain();
    const auto bind = [&](WheelEntry n, ChainLabel which, float fine, float normal, float coarse,
                          bool show) {
        t.bind(n, chain.Label(which));
        ValueEntry& e = t.entry(n);
        e.FineStep = fine;
        e.NormalStep = normal;
        e.CoarseStep = coarse;
        e.ShowValue = show;
        e.Apply = [this, which] { m_session.applyValue(which); };
        e.Reset = [this, which] { m_session.resetValue(which); };
    };
    bind(WheelEntry::FilterHi, ChainLabel::FilterHi, 1, 10, 50, true);
    bind(WheelEntry::FilterLo, ChainLabel::FilterLo, 1, 10, 50, true);
    bind(WheelEntry::NoiseReducer, ChainLabel::NB, 1, 10, 50, false);
    bind(WheelEntry::OutputLevel, ChainLabel::OutVol, 10, 50, 200, false);
    bind(WheelEntry::NotchCentre, ChainLabel::NotchC, 1, 10, 50, false);
    bind(WheelEntry::NotchWidth, ChainLabel::NotchW, 1, 10, 50, false);
    bind(WheelEntry::AGCDelay, ChainLabel::AGCAttack, 1, 1, 10, false);
    bind(WheelEntry::AGCRamp, ChainLabel::AGCDecay, 1, 10, 50, false);
    bind(WheelEntry::IFHi, ChainLabel::IFHi, 1, 10, 50, true);
    bind(WheelEntry::IFLo, ChainLabel::IFLo, 1, 10, 50, true);
}

void ControlsController::optMode_Click(std::int32_t index) {
    if (running()) m_session.setMode(index);
}

void ControlsController::optFilter_Click(std::int32_t index) {
    if (running() && index >= 0 && index <= 4) m_session.selectFilter(index);
}

void ControlsController::optIFFilter_Click(std::int32_t index) {
    if (running()) m_session.selectIFFilter(index);
}

void ControlsController::optNotch_Click(std::int32_t index) {
    if (running()) m_session.selectNotchMode(index);
}

void ControlsController::optAGC_Click(std::int32_t index) {
    if (running() && index >= 0 && index <= 3) m_session.selectAGC(index);
}

void ControlsController::setCheck(ChainCheck box, bool ticked) {
    if (running()) m_session.setCheck(box, ticked);
}

void ControlsController::sliderChanged(ChainControl control, std::int32_t index,
                                       std::int32_t position) {
    if (running()) m_session.moveControl(control, index, position);
}

void ControlsController::sliderRightButton(ChainControl control, std::int32_t index) {
    if (running()) m_session.resetControl(control, index);
}

void ControlsController::filterSliderPointer(std::int32_t index, std::int32_t y,
                                             std::int32_t length) {
    if (!running()) return;
    m_session.pointAtFilterEdge(index, y, length);
    m_values.refresh(); // the edge's value label lights with it
}

void ControlsController::filterSliderLostFocus(std::int32_t index) {
    if (!running()) return;
    m_session.leaveFilterEdge(index);
    m_values.refresh();
}

} // namespace orvex::app
