#include "app/SessionRig.h"

#include "app/RadioSession.h"
#include "dsp/ReceiveChain.h"
#include "radio/ad9951.h"

#include <algorithm>
#include <cmath>

namespace orvex::app {
namespace {

// The output level label runs from -10000 (100 dB of attenuation) to 8000 (a gain of 9).
constexpr double kLevelMin = -10000.0, kLevelMax = 8000.0;
// The meter level of S9: the S-meter's scale puts S9 at 20 log10(512) dB.
const double kS9Db = 20.0 * std::log10(512.0);

} // namespace

SessionRig::SessionRig(RadioSession& session, Hooks hooks)
    : m_session(session), m_hooks(std::move(hooks)) {}

double SessionRig::FrequencyHz() const {
    return m_session.hasVFO() ? std::round(m_session.vfo().TunedFreq() * 1e6) : 0.0;
}

double SessionRig::MaxFrequencyHz() const {
    return std::floor(m_session.MaxTunableFreq() * 1e6);
}

bool SessionRig::setFrequencyHz(double hz) {
    if (!m_session.hasVFO() || !std::isfinite(hz) || hz < MinFrequencyHz() || hz > MaxFrequencyHz())
        return false;
    const double mhz = hz / 1e6;
    if (m_hooks.tune)
        m_hooks.tune(mhz);
    else
        m_session.vfo().setTunedFreq(mhz);
    return true;
}

std::int32_t SessionRig::DemodMode() const {
    return m_session.chain().State().CurrentDemodMode;
}

void SessionRig::setDemodMode(std::int32_t mode) {
    if (mode < kModeAM || mode > kModeBC) return;
    if (m_hooks.selectMode)
        m_hooks.selectMode(mode);
    else
        m_session.chain().optMode_Click(mode);
}

std::int32_t SessionRig::PassbandHz() const {
    const ReceiveState& s = m_session.chain().State();
    return s.FilterHi - s.FilterLo;
}

bool SessionRig::setPassbandHz(std::int32_t hz) {
    if (hz <= 0) return false;
    ReceiveChain& chain = m_session.chain();
    const ValueLabel& lo = chain.Label(ChainLabel::FilterLo);
    const ValueLabel& hi = chain.Label(ChainLabel::FilterHi);
    const auto lowest = static_cast<std::int32_t>(lo.Min),
               highest = static_cast<std::int32_t>(hi.Max);
    const std::int32_t width = std::min(hz, highest - lowest);
    std::int32_t low = chain.State().FilterLo;
    if (low + width > highest) low = highest - width;
    low = std::clamp(low, lowest, static_cast<std::int32_t>(lo.Max));
    const std::int32_t high = std::min(low + width, highest);
    // The high edge first when it moves down, so the two never cross on the way.
    if (high < chain.State().FilterHi) {
        chain.SetLabel(ChainLabel::FilterHi, static_cast<float>(high));
        chain.SetLabel(ChainLabel::FilterLo, static_cast<float>(low));
    } else {
        chain.SetLabel(ChainLabel::FilterLo, static_cast<float>(low));
        chain.SetLabel(ChainLabel::FilterHi, static_cast<float>(high));
    }
    if (m_hooks.chainChanged) m_hooks.chainChanged();
    return true;
}

double SessionRig::StrengthDbOverS9() const {
    const double level = std::fabs(m_session.chain().State().MeterLevel);
    return level > 0.0 ? 20.0 * std::log10(level) - kS9Db : -kS9Db;
}

double SessionRig::AfLevel() const {
    const double l = m_session.chain().State().lblOutVol.Value;
    return std::clamp((l - kLevelMin) / (kLevelMax - kLevelMin), 0.0, 1.0);
}

void SessionRig::setAfLevel(double level) {
    if (!std::isfinite(level)) return;
    const double l = kLevelMin + std::clamp(level, 0.0, 1.0) * (kLevelMax - kLevelMin);
    m_session.chain().SetLabel(ChainLabel::OutVol, static_cast<float>(std::round(l)));
    if (m_hooks.chainChanged) m_hooks.chainChanged();
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
    if (on) return m_session.startStreaming(true, m_powerError);
    m_session.stopStreaming();
    return true;
}

} // namespace orvex::app
