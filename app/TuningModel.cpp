#include "TuningModel.h"

#include "core/Format.h"
#include "core/Numeric.h"
#include "radio/TuningKnob.h"
#include "radio/ad9951.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orvex::app {
namespace {

// Shortest decimal text of a step figure, without binary noise (0.0005 x 1e6 = 500).
std::string Shortest(double x) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", x);
    return buf;
}

double Pow10(std::int32_t n) {
    return std::pow(10.0, static_cast<double>(n));
}

struct DialPreset {
    std::int32_t digit;
    double base;
};
constexpr std::array<DialPreset, 10> kDialPresets{{{4, 10}, // 1 kHz
                                                   {5, 50}, // 500 Hz
                                                   {5, 25},
                                                   {5, 20},
                                                   {5, 10},
                                                   {6, 50},
                                                   {6, 25},
                                                   {6, 10},
                                                   {6, 5},
                                                   {7, 10}}}; // 1 Hz

} // namespace

TuningModel::TuningModel(ad9951& vfo, TuningKnob& knob) : m_vfo(vfo), m_knob(knob) {
    digitColour.fill(kDigitColour);
}

bool TuningModel::tuneRateLocked() const {
    return m_knob.TuneRateLocked;
}

std::string TuningModel::rateCaption(std::int32_t digit, double x) {
    if (digit <= 1) return "x " + Shortest(x) + " MHz";
    if (digit <= 4) return "x " + Shortest(x * 1000.0) + " KHz";
    if (digit <= 7) return "x " + Shortest(x * 1000000.0) + " Hz";
    return "x " + Shortest(x * 10000000.0) + " dHz";
}

void TuningModel::Display7Seg(const std::string& text) {
    if (text == m_lastShown) return;
    m_lastShown = text;
    // From 100 MHz up the text is longer than the nine digits: the digits keep their places
    // (digit 0 is always the tens of MHz) and the rest shows before them.
    const std::size_t high = text.size() > kDigits ? text.size() - kDigits : 0;
    lbl7SegHigh = text.substr(0, high);
    for (std::size_t i = 0; i < kDigits; ++i)
        lbl7Seg[i] = high + i < text.size() ? std::string(1, text[high + i]) : std::string();
    LOText = FormatNumber(m_vfo.FreqOut(), "#0.##0 ##0 0 MHz");
}

void TuningModel::showTunedFreq() {
    Display7Seg(m_vfo.FormattedTunedFreq());
    LOText = FormatNumber(m_vfo.FreqOut(), "#0.##0 ##0 0 MHz");
}

void TuningModel::SetTuneRate(std::int32_t digit, double base) {
    if (digit < 0 || digit >= kDigits) return;
    if (Highlighted >= 0) digitColour[static_cast<std::size_t>(Highlighted)] = kDigitColour;
    m_vfo.setTuneStep(base / Pow10(digit));
    lblTuningRate = rateCaption(digit, m_vfo.TuneStep());
    digitColour[static_cast<std::size_t>(digit)] = kDigitSelected;
    Highlighted = digit;
}

void TuningModel::digitHover(std::int32_t i) {
    if (i < 0 || i >= kDigits || i == Highlighted || tuneRateLocked()) return;
    SetTuneRate(i, 10.0);
}

void TuningModel::setLocked(bool locked) {
    m_knob.TuneRateLocked = locked;
    lblTuningRateColour = locked ? kRateLocked : kRateUnlocked;
    lblTuningRateToolTip = locked ? "Click to Unlock Tuning Rate" : "Click to Lock Tuning Rate";
}

void TuningModel::digitClick(std::int32_t i) {
    MenuTag = i;
    mnuVFOControlSub_Click(2);
}

void TuningModel::digitDoubleClick(std::int32_t i) {
    MenuTag = i;
    mnuVFOControlSub_Click(3);
}

void TuningModel::mnuVFOControlSub_Click(std::int32_t index) {
    if (index == 2) {
        setLocked(true);
        SetTuneRate(MenuTag, 10.0);
    } else if (index == 3) {
        setLocked(false);
    }
}

void TuningModel::lblTuningRate_Click() {
    setLocked(!tuneRateLocked());
}

void TuningModel::picTuneDial_Click() {
    DialRatePreset = (DialRatePreset + 1) % static_cast<std::int32_t>(kDialPresets.size());
    const DialPreset& p = kDialPresets[static_cast<std::size_t>(DialRatePreset)];
    setLocked(true);
    MenuTag = p.digit;
    SetTuneRate(p.digit, p.base);
}

void TuningModel::keyPress(std::int32_t keyCode) {
    if (KeyboardDigit == 0) {
        KeyboardDigit = 4;
        SetTuneRate(4, 10.0);
    }
    switch (keyCode) {
    case kKeyLeft:
        KeyboardDigit = std::max(4, KeyboardDigit - 1);
        SetTuneRate(KeyboardDigit, 10.0);
        break;
    case kKeyRight:
        KeyboardDigit = std::min(7, KeyboardDigit + 1);
        SetTuneRate(KeyboardDigit, 10.0);
        break;
    case kKeyUp:
    case kKeyA:
        TuneUpPending = true;
        TuneDownPending = false;
        break;
    case kKeyDown:
    case kKeyZ:
        TuneDownPending = true;
        TuneUpPending = false;
        break;
    default:
        break;
    }
    PendingStep = m_vfo.TuneStep();
    m_vfo.setTuneStepLSD(m_vfo.TuneStep());
    tmrTuneInterval = 20;
}

void TuningModel::keyRelease() {
    TuneUpPending = false;
    TuneDownPending = false;
    PendingStep = 0.0;
}

void TuningModel::mouseUp(bool leftButton) {
    if (leftButton)
        TuneUpPending = false;
    else
        TuneDownPending = false;
}

void TuningModel::lblScale_Click(std::int32_t k) {
    std::string s = m_vfo.FormattedTunedFreq();
    if (s.size() < 9 || k < 0 || k > 2) return;
    // Units of 0.1 Hz: the MHz are everything before the last seven digits (two, or three
    // and more from 100 MHz up).
    const std::size_t m = s.size() - 7;
    if (k == 0) s.replace(0, m, std::string(m, '0'));
    if (k == 1) s.replace(m, 3, "000");
    if (k == 2) s.replace(m + 3, 3, "000");
    const std::string text = s.substr(0, m) + "." + s.substr(m);
    m_vfo.setTunedFreq(std::strtod(text.c_str(), nullptr));
    showTunedFreq();
}

void TuningModel::tmrTune_Timer() {
    if (TuneUpPending) {
        m_vfo.Inc_Freq(PendingStep);
        TuneUpPending = false;
    }
    if (TuneDownPending) {
        m_vfo.Dec_Freq(PendingStep);
        TuneDownPending = false;
    }
    showTunedFreq();
    const double x = m_vfo.TuneStepLSD();
    if (x >= 1.0 && x <= 10.0)
        lblTuningRate = "x " + Shortest(std::fabs(x)) + " MHz";
    else if (x >= 0.001 && x <= 0.1)
        lblTuningRate = "x " + Shortest(std::fabs(x * 1000.0)) + " KHz";
    else if (x >= 0.000001 && x <= 0.0001)
        lblTuningRate = "x " + Shortest(std::fabs(x * 1000000.0)) + " Hz";
    else if (x < 0.000001)
        lblTuningRate = "x " + Shortest(std::fabs(x * 10000000.0)) + " dHz";
    lblTuneDialRate = lblTuningRate;
}

std::int32_t TuningModel::tmrVFOUpdate_Timer(const std::function<double()>& random01) {
    if (!AutoDDSRefresh) return tmrVFOUpdateInterval;
    m_vfo.InitAD9951();
    m_vfo.setTunedFreq(m_vfo.TunedFreq());
    const double r = random01 ? random01() : 0.0;
    tmrVFOUpdateInterval = static_cast<std::int32_t>(RoundHalfEven(1500.0 + 1500.0 * r));
    return tmrVFOUpdateInterval;
}

void TuningModel::dialtuner_Change(std::int32_t position) {
    m_knob.setPosition(position);
}

std::int32_t TuningModel::knobPosition() const {
    return m_knob.Position();
}

std::string TuningModel::spokenFrequency() const {
    const std::string s = m_vfo.FormattedTunedFreq();
    if (s.size() < 9) return s;
    // Units of 0.1 Hz: everything before the last seven digits is whole MHz.
    const std::size_t mhzDigits = s.size() - 7;
    std::string mhz = s.substr(0, mhzDigits);
    while (mhz.size() > 1 && mhz[0] == '0')
        mhz.erase(0, 1);
    return mhz + "." + s.substr(mhzDigits) + " MHz";
}

} // namespace orvex::app
