// The program-wide state of the receive chain: the values the front panel sets, the
// measurements the block path produces, and the captions, colours and label values the window
// shows for them. The chain's operations (ReceiveChain) change it; the window only reads it
// and mirrors it on its controls. Names are those of the settings keys where one exists.
#pragma once

#include "core/Colours.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

/// CurrentDemodMode values.
enum DemodMode : std::int32_t {
    kModeAM = 0,
    kModeUSB = 1,
    kModeLSB = 2,
    kModeDRM = 3,
    kModeFM = 4,
    kModeBC = 5,
};

/// Check boxes whose click handler the chain owns.
enum class ChainCheck {
    AGC,
    NotchOn,
    NotchType,
    NB,
    IFFilter,
    DynFilter,
    Music,
    Mute,
    Image,
    PerfStats
};

/// Wheel-adjustable labels whose apply procedure the chain owns.
enum class ChainLabel {
    FilterHi,
    FilterLo,
    IFHi,
    IFLo,
    NotchC,
    NotchW,
    NB,
    OutVol,
    AGCAttack,
    AGCDecay
};

/// Block constants of the chain (not taken from the sound card object).
inline constexpr std::int32_t kBlockSamples = 2048;       ///< samples per block
inline constexpr std::int32_t kSegmentSamples = 4096;     ///< FFT length of every filter
inline constexpr std::int32_t kChainSampleRate = 48000;   ///< Hz
inline constexpr double kBlockPeriod = 0.042666666;       ///< seconds per block
inline constexpr double kBlocksPerSecond = 23.4375;       ///< 48000 / 2048
inline constexpr float kLimiterPeak = 16384.0f;           ///< output and FM clip level
inline constexpr float kAGCTargetPeak = 16383.0f;         ///< peak the AGC holds
inline constexpr std::int32_t kStatsRingSize = 47;        ///< about one second of blocks
inline constexpr std::int32_t kPeakBinHistoryUpper = 8;   ///< upper index of PeakBinHistory
inline constexpr std::int32_t kAGCHistoryCapacity = 1024; ///< longest AGC delay, blocks

struct PanelButton {
    std::string Caption;
    std::string ToolTip;
    PanelColour Colour = kColourResting;
    bool Enabled = true;
};

/// A row of option buttons; Selected is the index of the chosen one (-1: none).
struct ButtonGroup {
    std::vector<PanelButton> Buttons;
    std::int32_t Selected = -1;
    /// Colours every button resting and button `index` selected, and selects it.
    void Choose(std::int32_t index);
};

struct CheckBox {
    std::string Caption;
    std::string ToolTip;
    bool Value = false; ///< ticked
    PanelColour Colour = kColourResting;
    bool Enabled = true;
};

/// A wheel-adjustable value label: the wheel steps Value within Min..Max, a right click
/// restores Default, and Caption is what the label shows.
struct ValueLabel {
    float Value = 0.0f;
    float Min = 0.0f;
    float Max = 0.0f;
    float Default = 0.0f;
    std::string Format; ///< number pattern of the caption
    std::string Caption;
    std::string ToolTip;
    bool Enabled = true;
    PanelColour Colour = kColourResting;
};

/// A slider or knob: integer position within Min..Max.
struct Slider {
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Value = 0;
    std::string ToolTip;
    std::string Tag; ///< text the variable-filter sliders keep their edge in
    bool Enabled = true;
    bool Visible = true;
};

/// One audio filter preset (optFilter button), Hz.
struct FilterPreset {
    std::int32_t DefaultHi = 0, DefaultLo = 0;
    std::int32_t CurrentHi = 0, CurrentLo = 0;
    std::int32_t SavedHi = 0, SavedLo = 0;
    bool Music = false; ///< music mode was on for this preset
};

/// One IF filter setting (optIFFilter button); offsets from the IF centre, Hz.
struct IFFilterSetting {
    std::int32_t DefaultHi = 6000, DefaultLo = 0;
    std::int32_t CurrentHi = 6000, CurrentLo = 0;
    std::int32_t SavedHi = 6000, SavedLo = 0;
};

/// The AGC times of one mode, as label values: delay D (seconds × 10), ramp S (ms × 10).
struct AGCModeRecord {
    std::int32_t DefaultDelay = 0, CurrentDelay = 0, SavedDelay = 0;
    std::int32_t DefaultRamp = 0, CurrentRamp = 0, SavedRamp = 0;
};

/// Range and remembered centre of the notch centre label for one notch type.
struct NotchRange {
    float Max = 6000.0f;
    float Min = 0.0f;
    float Centre = 1000.0f;
};

struct ReceiveState {
    // ---- Demodulation mode ----------------------------------------------------------------
    std::int32_t CurrentDemodMode = kModeAM; ///< 0 AM, 1 USB, 2 LSB, 3 DRM, 4 FM, 5 BC
    ButtonGroup optMode;
    CheckBox chkImage;
    /// The power button "On" (optPwr 0) is selected: the receiver is streaming.
    bool PowerOn = false;
    /// What the frequency readout shows after chkImage reloaded the synthesiser.
    std::string FrequencyReadout;

    // ---- Audio and IF filters (Hz) --------------------------------------------------------
    std::array<FilterPreset, 5> FilterPresets{};
    std::array<IFFilterSetting, 3> IFFilterSettings{};
    ButtonGroup optFilter;
    std::int32_t CurrentFilterMode = 0; ///< preset index; -2 takes the edges from the sliders
    std::int32_t FilterLo = 50;
    std::int32_t FilterHi = 5000;
    std::int32_t FilterWidth = 4950;      ///< FilterHi - FilterLo
    std::int32_t CurrentIFFilterMode = 1; ///< 0 "Off", 1 "Man", 2 "Track"
    bool IFFilterActive = false;
    std::int32_t IFHiOffset = 6000; ///< above the IF centre, mode "Man"
    std::int32_t IFLoOffset = 0;    ///< below the IF centre, mode "Man"
    bool MusicOn = false;
    bool DynFilterOn = false;
    std::int32_t PeakFreq = 0;   ///< averaged strongest audio peak
    std::int32_t DynCentre = 0;  ///< PeakFreq the dynamic filter was last moved to
    bool FiltersChanged = false; ///< the filters must be redesigned after the block
    ButtonGroup optIFFilter;
    CheckBox chkIFFilter;
    CheckBox chkDynFilter;
    CheckBox chkMusic;
    ValueLabel lblFilterHi, lblFilterLo, lblIFHi, lblIFLo;
    std::array<Slider, 2> sldBW{}; ///< 0 low edge, 1 high edge; position inverted
    std::string lblFLo, lblFHi;    ///< edge values beside the sliders
    PanelColour lblFLoColour = kColourResting, lblFHiColour = kColourResting;
    PanelColour lblFloDescColour = kColourResting, lblFHiDescColour = kColourResting;

    // ---- Notch (Hz in the notch filter's own scale) ---------------------------------------
    bool NotchActive = false;
    std::int32_t NotchType = 0; ///< 1 at IF, 0 at audio
    std::int32_t NotchMode = 0; ///< 0 manual, 1 automatic
    std::int32_t NotchCentre = 1000;
    std::int32_t NotchWidth = 200;
    std::int32_t NotchPrevWidth = 200;
    std::int32_t NotchHi = 1050;
    std::int32_t NotchLo = 950;
    std::int32_t NotchAppliedCentre = 1000;
    bool NotchChanged = false;
    std::array<NotchRange, 2> NotchRanges{}; ///< 0 audio, 1 IF
    CheckBox chkNotchOn, chkNotchType;
    ButtonGroup optNotch;
    ValueLabel lblNotchC, lblNotchW;
    Slider sldNotch, sldNotchWidth;
    std::string lblNotch; ///< notch centre readout
    bool ShowNotch = false;

    // ---- Noise reducer --------------------------------------------------------------------
    bool NBOn = false;
    float NB = 0.0f; ///< threshold factor 0..0.2
    CheckBox chkNB;  ///< its Value is NoiseReducerOn
    ValueLabel lblNB;
    Slider sldNB;
    Slider dialNB;

    // ---- AGC ------------------------------------------------------------------------------
    bool AGCON = false;
    std::int32_t AGCMode = 1;          ///< 0 "Off", 1 "Fast", 2 "Normal", 3 "Slow", 4 preset
    float AGCDelayTime = 0.5f;         ///< seconds
    std::int32_t AGCSmoothTime = 0;    ///< milliseconds
    std::int32_t AGCHistoryLength = 0; ///< N, blocks
    std::int32_t AGCRampLength = 0;    ///< R, samples
    float AGCGain = 1.0f;
    float AGCPrevGain = 1.0f;
    std::array<AGCModeRecord, 5> AGCModes{};
    CheckBox chkAGC;
    ButtonGroup optAGC;
    ValueLabel lblAGCAttack; ///< delay value D
    ValueLabel lblAGCDecay;  ///< ramp value S
    Slider sldAGCAttack, sldAGCDecay;

    // ---- Output level ---------------------------------------------------------------------
    float OutputAttenuation = 0.0f; ///< > 0 a gain factor; <= 0 hundredths of a dB
    bool MuteOn = false;
    ValueLabel lblOutVol;
    Slider sldOutVolume, dialOutVol;
    CheckBox chkMute;

    // ---- Block path and statistics --------------------------------------------------------
    bool DSPBusy = false;
    std::array<float, 4> SMeterPower{}; ///< mean I/Q power of the last blocks, newest first
    std::array<std::int32_t, kPeakBinHistoryUpper + 1> PeakBinHistory{};
    std::int32_t PeakBinPos = 0;
    float DSPLoad = 0.0f; ///< last block's handler time / block period
    std::int32_t SpectrumSource =
        0; ///< optSpectrumSource: 0 IF in, 1 Pre Demod, 2 Post Demod, 3 AF Out

    bool PerfStatsOn = false;
    CheckBox chkPerfStatsOn;
    std::array<std::int32_t, kStatsRingSize> BlockTimeRing{}; ///< microseconds
    std::array<std::int16_t, kStatsRingSize> InPeakRing{};
    std::array<std::int16_t, kStatsRingSize> OutPeakRing{};
    std::int32_t BlockTimePos = 0, InPeakPos = 0, OutPeakPos = 0;
    /// Averages over the rings, refreshed by the statistics timer while PerfStatsOn.
    double AvgPeakIn = 0.0, AvgPeakOut = 0.0, AvgBlockTime = 0.0, AvgLoad = 0.0;

    /// Meter: zero reference ("backoff"), zero request, and the last level drawn.
    double MeterReference = 10.0;
    bool MeterZeroRequest = false;
    double MeterLevel = 0.0;
};

} // namespace orvex
