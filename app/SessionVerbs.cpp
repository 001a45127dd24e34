// The receiver's verbs: what the window's controllers, the remote-control server and
// orvexsdr-cli ask of the receiver, each followed by the signal that says what changed.
#include "RadioSession.h"
#include "audio/OrvexDX8.h"
#include "core/Format.h"
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

std::string DeviceName(const std::vector<std::string>& list, std::int32_t n) {
    return n >= 1 && n <= static_cast<std::int32_t>(list.size())
               ? list[static_cast<std::size_t>(n - 1)]
               : "device " + std::to_string(n);
}

} // namespace

const ReceiveState& RadioSession::state() const {
    return m_chain->State();
}

bool RadioSession::tune(double mhz, std::string* why) {
    const double top = maxTunableMHz();
    if (!m_vfo || !std::isfinite(mhz) || mhz < 0.0 || mhz > top) {
        if (why)
            *why = "The receiver tunes from 0 to " + FormatNumber(top, "#,##0.000 000") +
                   " MHz with this synthesiser clock and IF.";
        return false;
    }
    m_vfo->setTunedFreq(mhz);
    Q_EMIT tuned();
    return true;
}

double RadioSession::tunedMHz() const {
    return m_vfo ? m_vfo->TunedFreq() : 0.0;
}

void RadioSession::setMode(std::int32_t mode) {
    if (mode < kModeAM || mode > kModeBC) return;
    m_chain->optMode_Click(mode);
    Q_EMIT controlsChanged();
}

void RadioSession::selectFilter(std::int32_t preset) {
    if ((preset < 0 || preset > 4) && preset != -2) return;
    m_chain->optFilter_Click(preset);
    Q_EMIT controlsChanged();
}

std::int32_t RadioSession::passband() const {
    const ReceiveState& s = m_chain->State();
    return s.FilterHi - s.FilterLo;
}

bool RadioSession::setPassband(std::int32_t hz) {
    if (hz <= 0) return false;
    ReceiveChain& chain = *m_chain;
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
    Q_EMIT controlsChanged();
    return true;
}

void RadioSession::selectIFFilter(std::int32_t index) {
    if (index < 0 || index > 2) return;
    m_chain->optIFFilter_Click(index);
    Q_EMIT controlsChanged();
}

void RadioSession::selectNotchMode(std::int32_t index) {
    if (index < 0 || index > 1) return;
    m_chain->optNotch_Click(index);
    Q_EMIT controlsChanged();
}

void RadioSession::selectAGC(std::int32_t index) {
    if (index < 0 || index > 4) return;
    m_chain->optAGC_Click(index);
    Q_EMIT controlsChanged();
}

void RadioSession::setCheck(ChainCheck box, bool ticked) {
    m_chain->SetCheck(box, ticked);
    if (box == ChainCheck::Image && m_vfo) {
        // The controller keeps the image setting (saved, and used by the calibration).
        m_vfo->setTuneImage(m_chain->State().chkImage.Value);
        Q_EMIT tuned();
    }
    Q_EMIT controlsChanged();
}

void RadioSession::setValue(ChainLabel which, float value) {
    m_chain->SetLabel(which, value);
    Q_EMIT controlsChanged();
}

void RadioSession::applyValue(ChainLabel which) {
    m_chain->ApplyLabel(which);
    Q_EMIT controlsChanged();
}

void RadioSession::resetValue(ChainLabel which) {
    m_chain->ResetLabel(which);
    Q_EMIT controlsChanged();
}

void RadioSession::moveControl(ChainControl control, std::int32_t index, std::int32_t position) {
    ReceiveChain& chain = *m_chain;
    switch (control) {
    case ChainControl::sldBW:
        if (index != 0 && index != 1) return;
        chain.sldBW_Change(index, position);
        break;
    case ChainControl::sldNotch:
        chain.sldNotch_Change(position);
        break;
    case ChainControl::sldNotchWidth:
        chain.sldNotchWidth_Change(position);
        break;
    case ChainControl::sldNB:
        chain.sldNB_Change(position);
        break;
    case ChainControl::dialNB:
        chain.dialNB_Change(position);
        break;
    case ChainControl::sldAGCAttack:
        chain.sldAGCAttack_Change(position);
        break;
    case ChainControl::sldAGCDecay:
        chain.sldAGCDecay_Change(position);
        break;
    case ChainControl::sldOutVolume:
        chain.sldOutVolume_Change(position);
        break;
    case ChainControl::dialOutVol:
        chain.dialOutVol_Change(position);
        break;
    }
    Q_EMIT controlsChanged();
}

void RadioSession::resetControl(ChainControl control, std::int32_t index) {
    ReceiveChain& chain = *m_chain;
    if (control == ChainControl::sldBW && (index == 0 || index == 1))
        chain.sldBW_RightButton(index);
    else if (control == ChainControl::sldNB)
        chain.sldNB_RightButton();
    else if (control == ChainControl::sldOutVolume)
        chain.sldOutVolume_RightButton();
    else
        return;
    Q_EMIT controlsChanged();
}

void RadioSession::pointAtFilterEdge(std::int32_t index, std::int32_t y, std::int32_t length) {
    if (index != 0 && index != 1) return;
    m_chain->sldBW_MouseMove(index, y, length);
    Q_EMIT controlsChanged();
}

void RadioSession::leaveFilterEdge(std::int32_t index) {
    if (index != 0 && index != 1) return;
    m_chain->sldBW_LostFocus(index);
    Q_EMIT controlsChanged();
}

double RadioSession::afLevel() const {
    const double l = m_chain->State().lblOutVol.Value;
    return std::clamp((l - kLevelMin) / (kLevelMax - kLevelMin), 0.0, 1.0);
}

void RadioSession::setAfLevel(double level) {
    if (!std::isfinite(level)) return;
    const double l = kLevelMin + std::clamp(level, 0.0, 1.0) * (kLevelMax - kLevelMin);
    setValue(ChainLabel::OutVol, static_cast<float>(std::round(l)));
}

double RadioSession::strengthDbOverS9() const {
    const double level = std::fabs(m_chain->State().MeterLevel);
    return level > 0.0 ? 20.0 * std::log10(level) - kS9Db : -kS9Db;
}

void RadioSession::setSpectrumSource(std::int32_t index) {
    if (index < 0 || index > 3) return;
    ReceiveState& s = m_chain->State();
    s.SpectrumSource = index;
    s.FiltersChanged = true;
}

void RadioSession::zeroMeter() {
    m_chain->cmdCalibrateSMeter_Click();
    Q_EMIT controlsChanged();
}

void RadioSession::showStatistics(bool shown) {
    if (shown)
        m_chain->chkPerfStatsOn_Click();
    else
        m_chain->State().PerfStatsOn = false;
    Q_EMIT controlsChanged();
}

bool RadioSession::powerOn(bool realTime, std::string& error) {
    ReceiveState& s = m_chain->State();
    s.FiltersChanged = true;
    m_chain->RebuildFilters();
    s.FiltersChanged = false;
    if (m_vfo) m_vfo->InitAD9951();
    if (!streaming() && !startStreaming(realTime, error)) {
        error += "\n(" + soundDevicesText() + ")";
        powerOff();
        return false;
    }
    s.PowerOn = true;
    Q_EMIT controlsChanged();
    return true;
}

void RadioSession::powerOff() {
    stopStreaming();
    stopChainTimers();
    if (m_chain) m_chain->State().PowerOn = false;
    Q_EMIT controlsChanged();
}

bool RadioSession::poweredOn() const {
    return m_chain && m_chain->State().PowerOn;
}

std::string RadioSession::soundDevicesText() {
    if (!m_card) return {};
    return "capture: " + DeviceName(captureDeviceNames(), m_card->CurrentCaptureDevice()) +
           "; playback: " + DeviceName(playbackDeviceNames(), m_card->CurrentPlaybackDevice());
}

} // namespace orvex::app
