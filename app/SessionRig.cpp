#include "app/SessionRig.h"

#include "app/RadioSession.h"
#include "radio/ad9951.h"

#include <cmath>

namespace orvex::app {

SessionRig::SessionRig(RadioSession& session, PowerHooks hooks)
    : m_session(session), m_hooks(std::move(hooks)) {}

double SessionRig::FrequencyHz() const {
    return std::round(m_session.tunedMHz() * 1e6);
}

double SessionRig::MaxFrequencyHz() const {
    return std::floor(m_session.maxTunableMHz() * 1e6);
}

bool SessionRig::setFrequencyHz(double hz) {
    if (!m_session.hasVFO() || !std::isfinite(hz) || hz < MinFrequencyHz() || hz > MaxFrequencyHz())
        return false;
    return m_session.tune(hz / 1e6);
}

std::int32_t SessionRig::DemodMode() const {
    return m_session.state().CurrentDemodMode;
}

void SessionRig::setDemodMode(std::int32_t mode) {
    m_session.setMode(mode);
}

std::int32_t SessionRig::PassbandHz() const {
    return m_session.passband();
}

bool SessionRig::setPassbandHz(std::int32_t hz) {
    return m_session.setPassband(hz);
}

double SessionRig::StrengthDbOverS9() const {
    return m_session.strengthDbOverS9();
}

double SessionRig::AfLevel() const {
    return m_session.afLevel();
}

void SessionRig::setAfLevel(double level) {
    m_session.setAfLevel(level);
}

bool SessionRig::Busy() const {
    return m_session.hasVFO() && m_session.vfo().Sending();
}

bool SessionRig::PowerOn() const {
    return m_hooks.powerOn ? m_hooks.powerOn() : m_session.streaming();
}

bool SessionRig::setPowerOn(bool on) {
    if (m_hooks.setPowerOn) return m_hooks.setPowerOn(on);
    m_powerError.clear();
    if (on == m_session.streaming()) return true;
    if (on) return m_session.powerOn(true, m_powerError);
    m_session.powerOff();
    return true;
}

} // namespace orvex::app
