#include "TuningController.h"

#include "app/EncoderInput.h"
#include "app/RadioSession.h"
#include "app/ValuesController.h"
#include "radio/ad9951.h"

#include <random>

namespace orvex::app {

TuningController::TuningController(RadioSession& session, ValuesController& values,
                                   const LifeCycle& life)
    : m_session(session), m_values(values), m_life(life) {
    connect(&m_session, &RadioSession::tuned, this, [this] { showTunedFreq(); });
}

TuningController::~TuningController() = default;

void TuningController::start() {
    ad9951& v = m_session.vfo();
    // The knob the window's dial and the shaft encoder share comes with the session's encoder;
    // its steps tune on this thread as they arrive.
    EncoderInput& encoder = m_session.encoder();
    encoder.setAutoRate(m_shaftAutoRate);
    encoder.setEnabled(m_enableShaftEncoder);
    connect(&encoder, &EncoderInput::stepped, this, [this] { showTunedFreq(); });
    m_model = std::make_unique<TuningModel>(v, encoder.knob());
    m_model->AutoDDSRefresh = m_autoDDSRefresh;
    m_model->showTunedFreq();

    ValueTable& t = m_values.table();
    // The readout: one tuning step per wheel message that acts.
    t.entry(WheelEntry::Frequency).Apply = [this] {
        ad9951& vfo = m_session.vfo();
        if (m_values.table().entry(WheelEntry::Frequency).LastMessage.forward)
            vfo.Inc_Freq(0.0);
        else
            vfo.Dec_Freq(0.0);
        showTunedFreq();
    };
    // Wheel tuning over the spectrum display raises a pending step for tmrTune.
    t.entry(WheelEntry::ScopeTuning).Apply = [this] {
        const bool up = m_values.table().entry(WheelEntry::ScopeTuning).LastMessage.forward;
        m_model->TuneUpPending = up;
        m_model->TuneDownPending = !up;
    };
}

void TuningController::showTunedFreq() {
    if (!m_model) return;
    m_model->showTunedFreq();
    Q_EMIT changed();
}

void TuningController::digitHover(std::int32_t i) {
    if (!ready()) return;
    m_values.setTarget(WheelEntry::Frequency);
    const std::int32_t before = m_model->Highlighted;
    m_model->digitHover(i);
    if (before != m_model->Highlighted) Q_EMIT changed();
}

void TuningController::digitClick(std::int32_t i) {
    if (!ready()) return;
    m_model->digitClick(i);
    Q_EMIT changed();
}

void TuningController::digitDoubleClick(std::int32_t i) {
    if (!ready()) return;
    m_model->digitDoubleClick(i);
    Q_EMIT changed();
}

void TuningController::vfoMenu(std::int32_t digit, std::int32_t item) {
    if (!ready()) return;
    m_model->digitRightButton(digit);
    m_model->mnuVFOControlSub_Click(item);
    Q_EMIT changed();
}

void TuningController::lblTuningRate_Click() {
    if (!ready()) return;
    m_model->lblTuningRate_Click();
    Q_EMIT changed();
}

void TuningController::picTuneDial_Click() {
    if (!ready()) return;
    m_model->picTuneDial_Click();
    Q_EMIT changed();
}

void TuningController::readoutHover() {
    if (m_values.setTarget(WheelEntry::None)) m_values.refresh();
}

void TuningController::readoutKeyPress(std::int32_t keyCode) {
    if (!ready()) return;
    m_model->keyPress(keyCode);
    noteInterval();
    Q_EMIT changed();
}

void TuningController::readoutKeyRelease() {
    if (ready()) m_model->keyRelease();
}

void TuningController::readoutMouseUp(bool leftButton) {
    if (ready()) m_model->mouseUp(leftButton);
}

void TuningController::lblScale_Click(std::int32_t k) {
    if (!ready()) return;
    m_model->lblScale_Click(k);
    Q_EMIT changed();
}

void TuningController::knobChanged(std::int32_t position) {
    if (!ready()) return;
    m_model->dialtuner_Change(position);
    showTunedFreq();
}

std::int32_t TuningController::knobPosition() const {
    return m_model ? m_model->knobPosition() : 0;
}

double TuningController::maxTunableMHz() const {
    return m_session.maxTunableMHz();
}

bool TuningController::tuneTo(double mhz, std::string* why) {
    if (m_life.unloaded) return false;
    return m_session.tune(mhz, why); // tuned() shows it
}

// ---- timers ------------------------------------------------------------------------------------

std::int32_t TuningController::tuneInterval() const {
    return m_model ? m_model->tmrTuneInterval : m_interval;
}

void TuningController::noteInterval() {
    if (m_model->tmrTuneInterval == m_interval) return;
    m_interval = m_model->tmrTuneInterval;
    Q_EMIT tuneIntervalChanged(m_interval);
}

void TuningController::tmrTune_Timer() {
    if (!ready()) return;
    const auto digits = m_model->lbl7Seg;
    const std::string rate = m_model->lblTuningRate, lo = m_model->LOText;
    m_model->tmrTune_Timer();
    noteInterval();
    if (digits != m_model->lbl7Seg || rate != m_model->lblTuningRate || lo != m_model->LOText)
        Q_EMIT changed();
}

std::int32_t TuningController::tmrVFOUpdate_Timer() {
    if (!ready()) return 1000;
    static std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    return m_model->tmrVFOUpdate_Timer([&] { return uniform(random); });
}

void TuningController::tmrShaft_Timer() {
    if (!ready() || !m_enableShaftEncoder) return;
    if (m_session.encoder().tmrShaft_Timer()) showTunedFreq();
}

// ---- options -----------------------------------------------------------------------------------

void TuningController::setEnableShaftEncoder(bool on) {
    m_enableShaftEncoder = on;
    if (m_model) m_session.encoder().setEnabled(on);
}

void TuningController::setShaftAutoRate(bool on) {
    m_shaftAutoRate = on;
    if (m_model) m_session.encoder().setAutoRate(on);
}

bool TuningController::autoDDSRefresh() const {
    return m_model ? m_model->AutoDDSRefresh : m_autoDDSRefresh;
}

void TuningController::setAutoDDSRefresh(bool on) {
    m_autoDDSRefresh = on;
    if (m_model) m_model->AutoDDSRefresh = on;
}

} // namespace orvex::app
