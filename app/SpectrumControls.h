// The state of the spectrum display's controls that the core keeps and the window mirrors:
// which controls the chosen mode shows, their captions and values, the sliders, the
// read-out under the pointer and the waterfall switch. The analyser itself keeps the display
// settings; this is only what the panel shows of them. Plain C++.
#pragma once

#include "dsp/ReceiveState.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvex::app {

/// Check boxes of the spectrum panel whose click the core handles.
enum class ScopeCheck {
    chkChn1On,
    chkChn2On,
    chkSpectrumAutoGain,
    chkScopeShowFilters,
    chkLog,            ///< ticked: linear Y scale
    chkSmoothSpectrum, ///< ticked: no averaging ("Fast")
    chkWaterfall,      ///< the waterfall shown and fed
};

/// Sliders of the spectrum panel.
enum class ScopeSlider { sldXWidth, sldXCentre, sldSpectrumGain };

/// Which surface shows the frequency read-out.
enum class ScopeSurface { None, Display, Waterfall };

/// Wheel-table entries of the waterfall's range labels (beyond the panel's nineteen).
inline constexpr int kEntryWaterfallMin = 20;
inline constexpr int kEntryWaterfallMax = 21;

struct SpectrumControls {
    ButtonGroup chkScopeMode;      ///< 0 "Freq", 1 "Time", 2 "Phase": one is chosen
    ButtonGroup optSpectrumSource; ///< 0 "IF in", 1 "Pre Demod", 2 "Post Demod", 3 "AF Out"
    CheckBox chkChn1On, chkChn2On;
    std::array<CheckBox, 2> chkTrigOn; ///< "Trigger on Y1", "Trigger on Y2"
    CheckBox chkSmoothSpectrum, chkLog, chkSpectrumAutoGain, chkScopeShowFilters;
    CheckBox chkWaterfall;
    Slider sldXWidth, sldXCentre, sldSpectrumGain;

    // What the chosen mode shows.
    bool frScopeYModeVisible = true;
    bool frScopeYModeEnabled = true;
    bool frScopeSweepVisible = true;
    std::string frScopeSweepCaption = "Sweep";
    bool TriggerVisible = false;    ///< chkTrigOn(1, 2) and their captions
    bool ShowFiltersVisible = true; ///< chkScopeShowFilters
    bool CentreVisible = true;      ///< lblScopeXCentre and its caption
    bool SmoothLabelVisible = true; ///< lblSpectrumSmooth (hidden while "Fast")
    bool WaterfallVisible = true;   ///< Frequency mode with the waterfall switched on
    /// Caption labels: 0 "Gain", 1 "Shift", 2 "Trig" (Y1); 3 "Trig", 4 "Shift", 5 "Gain" (Y2);
    /// 6 the width unit ("Hz/Div" or "ms/Div"); 7 "Hz" (the centre).
    std::array<std::string, 8> lblScopeCtl{"Gain",  "Shift", "Trig",   "Trig",
                                           "Shift", "Gain",  "Hz/Div", "Hz"};

    // The frequency under the pointer.
    std::string lblSpectrumFreq;
    ScopeSurface ReadoutOn = ScopeSurface::None;
};

} // namespace orvex::app
