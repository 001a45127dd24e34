// The receive chain: the block handler and DoDSP that turn one captured IF block into one
// audio block, the filter objects they use, and the front-panel operations of the
// demodulation, filter, notch, noise reducer, AGC and output level controls. It is the one
// facade between the window and the signal processing: the window wires its controls to these
// operations and shows ReceiveState; it never reaches into a filter object.
//
// Threading: everything runs on the one user-interface thread. Waits yield through
// YieldToUser; the handler's busy flag and DSPBusy keep a nested event from acting on a
// block in progress. Filters are redesigned only by the statistics timer after a block.
#pragma once

#include "core/Profiler.h"
#include "dsp/AlignedVector.h"
#include "dsp/ChainPorts.h"
#include "dsp/ReceiveState.h"
#include "dsp/clHilbert.h"
#include "dsp/clsFFT.h"
#include "dsp/clsFFTFilter.h"

#include <array>
#include <cstdint>
#include <functional>

namespace orvex {

/// Points of CompleteStartup where the caller's own start-up work goes (its trace lines, the
/// band selection).
enum class StartupStep {
    Mode,        ///< before the mode is selected
    Filter,      ///< before the filter preset is selected
    AfterFilter, ///< after it, before the AGC history is filled
    FilterEdges, ///< before the AF edge labels are applied
    Statistics,  ///< before the statistics timer runs once
};

class ReceiveChain {
public:
    /// Creates the filter objects with their creation settings and designs them, and sets the
    /// start-up defaults (presets, AGC modes, IF filter and notch). Create the chain after the
    /// optimised back end's probe, so that its transforms get their plans.
    ReceiveChain();
    ReceiveChain(const ReceiveChain&) = delete;
    ReceiveChain& operator=(const ReceiveChain&) = delete;

    /// Ports the chain calls; each may be null.
    void AttachSoundCard(SoundCardPort* Port) { m_soundCard = Port; }
    void AttachSpectrum(SpectrumTap* Port) { m_spectrum = Port; }
    void AttachMeter(MeterDisplay* Port) { m_meter = Port; }
    void AttachTuner(TunerPort* Port) { m_tuner = Port; }
    void AttachTimers(ChainTimers* Port) { m_timers = Port; }

    ReceiveState& State() { return m_s; }
    const ReceiveState& State() const { return m_s; }

    /// What restoring an empty settings store does to the chain: selects the AGC mode (its
    /// times come from the mode table) and applies the AGC switch, the AF filter edge labels
    /// (5000 and 50 Hz), the notch centre and width labels (1000 and 50 Hz) and the output
    /// level (0). The settings layer replaces this with its own restore.
    void RestoreDefaults();
    /// The end of start-up, once the saved settings are in State and the labels: re-applies
    /// the output level, sets the notch and IF filter switches and the IF edge labels from the
    /// restored values, selects the mode and the filter preset, fills the AGC peak history so
    /// the first gain is 1, applies the AF edge labels and runs the statistics timer once
    /// (which designs the filters).
    void CompleteStartup(const std::function<void(StartupStep)>& step = {});

    // ---- Block path -----------------------------------------------------------------------
    /// Handler of the sound card's DataReady: Channel1 and Channel2 hold one block (2048
    /// samples, NumSamples is not used); Channel1 is processed in place and queued for
    /// playback. A call while the previous block is still in the handler drops the block.
    void SoundCard_DataReady(std::int16_t* Channel1, std::int16_t* Channel2,
                             std::int32_t NumSamples);
    /// The chain on Channel1 (2048 samples), result written back into it.
    void DoDSP(std::int16_t* Channel1, std::int16_t* Channel2, std::int32_t NumSamples);
    /// The statistics timer's work after a block: meter, statistics, filter rebuild when
    /// FiltersChanged, dynamic filter, automatic notch.
    void tmrPerfStats_Timer();

    // ---- Generic control wiring -----------------------------------------------------------
    /// Sets a check box as the user would: when the value changes, its click handler runs.
    void SetCheck(ChainCheck Box, bool Ticked);
    /// Sets a wheel label's Value and runs its apply procedure (a wheel step or a typed value).
    void SetLabel(ChainLabel Label, float Value);
    /// Right button on a label: back to its reset value, applied as a change.
    void ResetLabel(ChainLabel Label);
    /// The apply procedure of a label (pushes its Value into the chain).
    void ApplyLabel(ChainLabel Label);
    ValueLabel& Label(ChainLabel Label);

    // ---- Demodulation mode ----------------------------------------------------------------
    void optMode_Click(std::int32_t Index); ///< 0 AM .. 5 BC
    void chkImage_Click();

    // ---- Audio and IF filters -------------------------------------------------------------
    void optFilter_Click(std::int32_t Index); ///< preset 0..4, or -2 for the slider edges
    void chkDynFilter_Click();
    void chkMusic_Click();
    void chkIFFilter_Click();
    void optIFFilter_Click(std::int32_t Index); ///< 0 "Off", 1 "Man", 2 "Track"
    void lblFilterHi_Wheel();
    void lblFilterLo_Wheel();
    void lblIFHi_Wheel();
    void lblIFLo_Wheel();
    /// Variable-filter slider i (0 low edge, 1 high edge) moved to Position.
    void sldBW_Change(std::int32_t Index, std::int32_t Position);
    void sldBW_RightButton(std::int32_t Index);
    /// Pointer over slider i at Y along a slider Length units long: its captions light while
    /// the pointer is more than 50 units inside the ends. Lost focus returns them to rest.
    void sldBW_MouseMove(std::int32_t Index, std::int32_t Y, std::int32_t Length);
    void sldBW_LostFocus(std::int32_t Index);
    void UpdateFilterEdgeDisplay();
    /// Redesigns every filter for the mode and edges; never called from the block path.
    void RebuildFilters();

    // ---- Notch and noise reducer ----------------------------------------------------------
    void chkNotchOn_Click();
    void chkNotchType_Click();
    void optNotch_Click(std::int32_t Index); ///< 0 manual, 1 automatic
    void lblNotchC_Wheel();
    void lblNotchW_Wheel();
    void sldNotch_Change(std::int32_t Position);
    void sldNotchWidth_Change(std::int32_t Position);
    void chkNB_Click();
    void lblNB_Wheel();
    void sldNB_Change(std::int32_t Position);
    void dialNB_Change(std::int32_t Position);
    void sldNB_RightButton();

    // ---- AGC ------------------------------------------------------------------------------
    void chkAGC_Click();
    void optAGC_Click(std::int32_t Index); ///< 0 "Off" .. 3 "Slow", 4 preset
    void lblAGCAttack_Wheel();             ///< delay value D: AGCDelayTime = D / 10 s
    void lblAGCDecay_Wheel();              ///< ramp value S: AGCSmoothTime = rnd(S / 10) ms
    void sldAGCAttack_Change(std::int32_t Position);
    void sldAGCDecay_Change(std::int32_t Position);
    /// Fills the AGC peak history with 16383 over its current length (first gain 1).
    void ResetAGCHistory();

    // ---- Output level ---------------------------------------------------------------------
    void lblOutVol_Wheel(); ///< level L -10000..8000 through the level law
    void sldOutVolume_Change(std::int32_t Position);
    void sldOutVolume_RightButton();
    void dialOutVol_Change(std::int32_t Position);
    void chkMute_Click();

    // ---- Statistics -----------------------------------------------------------------------
    void chkPerfStatsOn_Click();
    void cmdCalibrateSMeter_Click();

    /// The filter objects, for the display overlays and the tests.
    const clsFFTFilter& IFFilter() const { return m_IFFilter; }
    const clsFFTFilter& NotchFilter() const { return m_NotchFilter; }
    const clsFFTFilter& AFFilter() const { return m_AFFilter; }
    const clsFFTFilter& AFDemodFilter() const { return m_AFDemodFilter; }
    const clsFFTFilter& SSBFilterI() const { return m_SSBFilterI; }
    const clsFFTFilter& SSBFilterQ() const { return m_SSBFilterQ; }
    const clsFFTFilter& AMFilterI() const { return m_AMFilterI; }
    const clsFFTFilter& AMFilterQ() const { return m_AMFilterQ; }
    /// Number of notch redesigns so far (the automatic notch redesigns only on real moves).
    std::int64_t NotchRedesigns() const { return m_notchRedesigns; }
    /// Blocks dropped because the handler was still busy.
    std::int64_t DroppedBlocks() const { return m_droppedBlocks; }

private:
    void setDefaults();
    void createFilters();
    static void setUpFilter(clsFFTFilter& f, std::int32_t window, bool qPhase, bool normalise,
                            bool bandReject, std::int32_t lo, std::int32_t hi);

    // Block stages.
    void noiseReducer();
    void prepareIQ();
    void demodulate();
    void audioSpectrum();
    void agcStage();
    void outputLevelStage();
    void tapSamples(const float* ch1, const float* ch2);
    void setDisplayOffset();
    static void advanceRing(std::int32_t& pos);

    // Statistics-timer steps.
    void waitForBlock();
    void dynamicTracking();
    void computePeakFreq();

    // Control helpers.
    void setIFLabelsFromPreset();
    void setAGCHistoryLength(float delaySeconds);
    void applyLevelLaw(float level);
    void applyNBLevel(float level);
    void recomputeNotchEdges(bool lowClamp);
    void showNotchCentre();

    ReceiveState m_s;

    SoundCardPort* m_soundCard = nullptr;
    SpectrumTap* m_spectrum = nullptr;
    MeterDisplay* m_meter = nullptr;
    TunerPort* m_tuner = nullptr;
    ChainTimers* m_timers = nullptr;

    Profiler m_blockProfiler;

    clsFFTReal m_FFTReal;
    clsFFTFilter m_AFDemodFilter, m_AFFilter, m_IFFilter, m_AMFilterI, m_AMFilterQ;
    clsFFTFilter m_SSBFilterI, m_SSBFilterQ, m_NotchFilter;
    clHilbert m_HilbertDelay, m_HilbertTransform;

    // Working arrays, sized once (kSegmentSamples + 1 so every transform has room).
    FloatVector m_IFBlock, m_IFBlockCopy, m_IBlock, m_QBlock, m_AFBlock;
    FloatVector m_SpecRe, m_SpecIm, m_SpecPower, m_SpecPhase;
    FloatVector m_NotchOverlap, m_AGCRamp, m_filterTaps;

    // Detector memories.
    float m_FMLastPhase = 0.0f;
    std::array<float, 10> m_BCHistory{};

    // AGC vectors.
    FloatVector m_AGCPeakHistory, m_AGCWeights, m_AGCWeighted;

    // Re-entry flags of the handlers that can be re-entered through a yield or a control.
    bool m_dataReadyBusy = false;
    bool m_statsBusy = false;
    bool m_optModeBusy = false;
    bool m_optIFFilterBusy = false;
    bool m_rebuildBusy = false;
    bool m_sldBWBusy = false;
    bool m_edgeDisplayBusy = false;
    bool m_optNotchBusy = false;
    bool m_notchCentreBusy = false;
    bool m_optAGCBusy = false;
    bool m_sldAGCBusy = false;
    bool m_sldOutBusy = false;
    bool m_dialOutBusy = false;
    std::array<bool, 10> m_labelBusy{};

    std::int64_t m_notchRedesigns = 0;
    std::int64_t m_droppedBlocks = 0;
};

} // namespace orvex
