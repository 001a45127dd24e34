// The spectrum analyser engine: turns the most recent block of samples into a picture. Three
// modes: 0 Frequency (a spectrum analyser, one trace per channel, with a graticule labelled
// in kHz and, in log mode, in dB), 1 Time (a two-channel oscilloscope with a peak trigger),
// 2 Phase (an X-Y display of channel 2 across against channel 1 up).
//
// It draws into two QImage surfaces in turn: a frame goes to the hidden one, which then
// becomes the visible one, so the window only ever blits a finished picture (VisibleImage()).
// The window sets the surface size in logical pixels; the user scale of each mode (bins or
// samples across, display units up) maps onto it. The graticule with its labels is rendered
// once per change of scale, axis or size and copied under every frame.
//
// It is the receive chain's SpectrumTap: the chain loads samples at its four taps, sets the
// orientation and the frequency offset, and hands over the IF filter's kernel. A redraw timer
// of the window calls Display() once after each block; drawing never runs inside the block.
//
// Every array and the FFT are sized by init(); nothing allocates per frame. Needs a
// QGuiApplication (fonts). Everything runs on the one user-interface thread.
#pragma once

#include "display/BinAxis.h"
#include "dsp/AlignedVector.h"
#include "dsp/DisplayPorts.h"
#include "dsp/clsFFT.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace orvex {

class SettingsStore;
class Waterfall;

/// Display settings of one mode.
struct ModeSettings {
    float Chn1Gain = 1.0f;       ///< channel 1 gain (never 0: 0 is stored as 1e-6)
    float Chn1Shift = 0.0f;      ///< channel 1 vertical shift as set by the user (-100..100)
    float Chn1Offset = 0.0f;     ///< Chn1Shift / 150 x the Y range, display units
    bool Chn1Enabled = true;     ///< draw channel 1
    bool Chn1Trig = true;        ///< channel 1 is the trigger channel (mirror of TriggerChn)
    float Chn2Gain = 1.0f;       ///< channel 2 gain
    float Chn2Shift = 0.0f;      ///< channel 2 shift
    float Chn2Offset = 0.0f;     ///< Chn2Shift / 150 x the Y range
    bool Chn2Enabled = true;     ///< draw channel 2
    bool Chn2Trig = false;       ///< channel 2 is the trigger channel
    std::int16_t TriggerChn = 0; ///< 0 no trigger, 1 channel 1, 2 channel 2
    bool LogMode = false;        ///< logarithmic Y axis (Frequency mode)
    bool FastMode = false;       ///< true: no averaging
    float YScaleMax = 0, YScaleMin = 0, YScaleRange = 0;          ///< linear Y scale
    float YScaleLogMax = 0, YScaleLogMin = 0, YScaleLogRange = 0; ///< Y scale in log mode
};

/// A label drawn on the graticule: where (logical pixels), what it says and its value (Hz for
/// frequency labels, dB for level labels).
struct GraticuleLabel {
    double X = 0.0; ///< the x (frequency labels) or y (level labels) the label names
    QRectF Rect;
    std::string Text;
    double Value = 0.0;
};

class clsSpectrumAnalyser final : public SpectrumDisplay {
public:
    static constexpr std::int32_t kMaxSmooth = 24;  ///< most frames in the averaging history
    static constexpr std::int32_t kTapBlock = 2048; ///< samples per channel a tap delivers

    /// Sets the default scales and restores the settings of section `name` and its per-mode
    /// sections `name`.Mode.0..2 from the store (when given); SaveSettings() writes them back.
    /// The store must outlive the analyser.
    explicit clsSpectrumAnalyser(SettingsStore* store = nullptr,
                                 std::string name = "SpectrumAnalyser");
    clsSpectrumAnalyser(const clsSpectrumAnalyser&) = delete;
    clsSpectrumAnalyser& operator=(const clsSpectrumAnalyser&) = delete;

    // ---- Object-wide properties ------------------------------------------------------------
    const std::string& Name() const { return m_name; }
    bool Initialised() const { return m_initialised; }
    /// Sample rate, Hz (the window sets 48000). Takes effect at init.
    std::int32_t FSampling() const override { return m_fSampling; }
    void setFSampling(std::int32_t Hz) override { m_fSampling = Hz; }
    /// FFT order (the window sets 11: 2048 points), 4..14. Takes effect at init.
    std::int32_t Order() const { return m_order; }
    void setOrder(std::int32_t order) override { m_order = order; }
    /// Block length handed to the FFT, 2^Order; set by init.
    std::int32_t Points() const { return m_points; }
    /// The gain slider's trace gain, a factor (> 0; 1 at init): it multiplies both traces
    /// beside their channel gains (in log mode a shift of 20 log10(Gain) dB). Auto gain
    /// overrides it. Values of 0 or below are held at 1e-6.
    float Gain() const override { return m_gain; }
    void setGain(float g) override { m_gain = g > 0.0f ? g : 0.000001f; }
    /// Scale each trace so that its peak reaches the top of the display.
    bool AutoGain() const override { return m_autoGain; }
    void setAutoGain(bool on) override { m_autoGain = on; }
    /// Orientation of the frequency axis: true draws the lowest bin at the left edge, false
    /// the highest (the IF mirrored, so the radio frequency still rises to the right).
    bool ReverseSpectrum() const override { return m_reverse; }
    void setReverseSpectrum(bool Reverse) override { m_reverse = Reverse; }
    /// Width of the surfaces, logical pixels.
    float DisplayWidth() const override { return static_cast<float>(m_size.width()); }
    /// When false, loading and display do nothing.
    bool Active() const override { return m_active; }
    void setActive(bool on) override { m_active = on; }
    /// FSampling / 2, Hz; set by init.
    std::int32_t SpectrumWidth() const { return m_spectrumWidth; }
    /// Frames in the averaging history, 1..kMaxSmooth (held there).
    std::int32_t SpectrumSmooth() const override { return m_spectrumSmooth; }
    void setSpectrumSmooth(std::int32_t frames) override;
    /// Oscilloscope window length, samples (Time mode trigger).
    std::int32_t ScreenWidth() const { return m_screenWidth; }
    void setScreenWidth(std::int32_t samples) override { m_screenWidth = samples; }
    /// Lowest and highest frequency shown, Hz (audio frequency); StartBin and StopBin follow
    /// at init.
    double FStart() const override { return m_fStart; }
    void setFStart(std::int32_t Hz) override { m_fStart = Hz; }
    double FEnd() const override { return m_fEnd; }
    void setFEnd(std::int32_t Hz) override { m_fEnd = Hz; }
    /// Width of one FFT bin, Hz (23.4375 at 48000 Hz and 2048 points).
    float HzPerBin() const override { return m_hzPerBin; }
    /// First and last bin (Frequency mode) or sample (Time and Phase modes) drawn. Values
    /// outside the data are held inside it when drawing.
    std::int32_t StartBin() const override { return m_startBin; }
    void setStartBin(std::int32_t bin) override { m_startBin = bin; }
    std::int32_t StopBin() const override { return m_stopBin; }
    void setStopBin(std::int32_t bin) override { m_stopBin = bin; }
    /// Radio frequency of the left edge of the axis, Hz; 0 makes the axis show audio
    /// frequency.
    std::int32_t FOffset() const override { return m_fOffset; }
    void setFOffset(std::int32_t Hz) override { m_fOffset = Hz; }
    /// Remembered for the display controls; averaging is governed by FastMode.
    bool SmoothSpectrum() const override { return m_smoothSpectrum; }
    void setSmoothSpectrum(bool on) override { m_smoothSpectrum = on; }
    /// 0 Frequency, 1 Time, 2 Phase. Writing 2 turns both channels of mode 2 on; every write
    /// runs SetupDisplay. Other values are ignored.
    std::int32_t Mode() const override { return m_mode; }
    void setMode(std::int32_t mode) override;
    bool ShowNotch() const override { return m_showNotch; }
    void setShowNotch(bool Show) override { m_showNotch = Show; }
    bool ShowFilter() const override { return m_showFilter; }
    void setShowFilter(bool on) override { m_showFilter = on; }
    /// The notch marker: centre and width, Hz, of the notch (the notch controls set them).
    float NotchCentre() const { return m_notchCentre; }
    void setNotchCentre(float Hz) override { m_notchCentre = Hz; }
    /// A second band of the marker, Hz (below 0: none).
    float SecondNotchCentre() const { return m_notchCentre2; }
    void setSecondNotchCentre(float Hz) override { m_notchCentre2 = Hz; }
    float NotchWidth() const { return m_notchWidth; }
    void setNotchWidth(float Hz) override { m_notchWidth = Hz; }

    // ---- Properties of the current mode ----------------------------------------------------
    bool LogMode() const override { return cur().LogMode; }
    void setLogMode(bool on) override { cur().LogMode = on; }
    bool FastMode() const override { return cur().FastMode; }
    void setFastMode(bool on) override { cur().FastMode = on; }
    bool Chn1Trig() const override { return cur().Chn1Trig; }
    void setChn1Trig(bool on) { cur().Chn1Trig = on; }
    bool Chn2Trig() const override { return cur().Chn2Trig; }
    void setChn2Trig(bool on) { cur().Chn2Trig = on; }
    bool Chn1Enabled() const override { return cur().Chn1Enabled; }
    void setChn1Enabled(bool on) override { cur().Chn1Enabled = on; }
    bool Chn2Enabled() const override { return cur().Chn2Enabled; }
    void setChn2Enabled(bool on) override { cur().Chn2Enabled = on; }
    /// Channel gains (0..99); 0 is stored as 1e-6.
    float Chn1Gain() const override { return cur().Chn1Gain; }
    void setChn1Gain(float g) override;
    float Chn2Gain() const override { return cur().Chn2Gain; }
    void setChn2Gain(float g) override;
    /// 0 none, 1 channel 1, 2 channel 2; sets the two trigger flags.
    std::int16_t TriggerChn() const override { return cur().TriggerChn; }
    void setTriggerChn(std::int16_t chn) override;
    /// Vertical shifts (-100..100): the offset becomes shift / 150 of the Y range.
    float Chn1Shift() const override { return cur().Chn1Shift; }
    void setChn1Shift(float shift) override;
    float Chn2Shift() const override { return cur().Chn2Shift; }
    void setChn2Shift(float shift) override;
    /// The Y scale in display units (the log fields while LogMode is on).
    float YScaleMax() const;
    void setYScaleMax(float top);
    float YScaleMin() const;
    void setYScaleMin(float bottom);
    float YScaleRange() const;
    const ModeSettings& Settings(int mode) const { return m_modes[static_cast<std::size_t>(mode)]; }

    // ---- Surfaces ---------------------------------------------------------------------------
    /// Size of both surfaces in logical pixels and the screen's device pixel ratio (the
    /// window's picDisplay0/1). Reallocates the surfaces and redraws the graticule.
    void setSurfaceSize(QSize logical, double devicePixelRatio = 1.0);
    QSize SurfaceSize() const { return m_size; }
    const QImage& Surface(int index) const {
        return m_surface[static_cast<std::size_t>(index & 1)];
    }
    /// The surface drawn last, now shown; the other is drawn next.
    int VisibleSurface() const { return m_visible; }
    const QImage& VisibleImage() const { return Surface(m_visible); }
    std::int64_t FrameCount() const { return m_frames; }

    // ---- Methods ----------------------------------------------------------------------------
    /// Sizes everything from Order and FSampling: arrays, FFT, SpectrumWidth, HzPerBin,
    /// StartBin and StopBin from FStart and FEnd; then SetupDisplay.
    void init() override;
    /// Sets the user scale of the mode, draws the graticule on both surfaces and shows the
    /// first one. Runs init first when needed.
    void SetupDisplay() override;
    /// The taps: when Active, copy one block per channel (min(Points, 2048) samples; the rest
    /// of a longer window stays zero). A null channel 2 loads zeros.
    void LoadSamples_INT16(const std::int16_t* Channel1, const std::int16_t* Channel2) override;
    void LoadSamples_S(const float* Channel1, const float* Channel2) override;
    /// A filter's time-domain kernel (2048 taps) for the filter curve.
    void LoadFilterCoeffs_T_S(const float* Coeffs_S) override;
    /// A filter's magnitude response (Points values) for the filter curve.
    void LoadFilterCoeffs_F_S(const float* Coeffs_S);
    /// One frame from the loaded samples.
    void Display() override;
    /// Converts (without the Active test) as LoadSamples_INT16 does, then Display_S.
    void Display_I16(const std::int16_t* Channel1, const std::int16_t* Channel2);
    /// Computes and draws one frame from Points samples per channel. Does nothing unless
    /// Active, or when called again while drawing (a yield let the redraw timer in).
    void Display_S(const float* Channel1, const float* Channel2);

    // ---- What the window needs to follow the picture ---------------------------------------
    /// The frequency axis as drawn now (Frequency mode).
    BinAxis Axis() const;
    /// Frequency, Hz, under logical pixel x; x of a frequency.
    double FrequencyAtX(double x) const override { return Axis().FrequencyAtX(x); }
    double XOfFrequency(double Hz) const { return Axis().XOfFrequency(Hz); }
    /// True while the axis shows radio frequency (FSampling < FOffset): then a click tunes.
    bool AxisShowsRadioFrequency() const { return m_fSampling < m_fOffset; }
    /// The read-out text for the pointer at x: "#0 000 000" on a radio axis, "###0" else.
    std::string FrequencyReadout(double x) const override;
    /// The frequency a left click at x tunes to, MHz snapped to whole kHz; nothing while the
    /// axis shows audio frequency.
    std::optional<double> ClickTuneMHz(double x) const override;
    /// The labels of the graticule drawn last.
    const std::vector<GraticuleLabel>& FrequencyLabels() const { return m_freqLabels; }
    const std::vector<GraticuleLabel>& LevelLabels() const { return m_dbLabels; }

    // ---- Wiring ------------------------------------------------------------------------------
    /// The waterfall fed with every Frequency-mode frame (nullptr: none). Not owned.
    void AttachWaterfall(Waterfall* waterfall);
    /// Called after every frame and SetupDisplay (the widget repaints).
    void setChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    void RestoreSettings();
    void SaveSettings() const override;

    /// Working data of the last frame (tests): what was drawn, per channel, after averaging,
    /// gain and log mapping (display units).
    const float* Chn1Data() const { return m_chn1.data(); }
    const float* Chn2Data() const { return m_chn2.data(); }

private:
    struct GraticuleKey {
        QSize size;
        double dpr = 1.0;
        std::int32_t mode = 0;
        bool log = false;
        float top = 0, range = 0, left = 0, width = 0, gain = 1;
        BinAxis axis;
        bool operator==(const GraticuleKey&) const = default;
    };

    ModeSettings& cur() { return m_modes[static_cast<std::size_t>(m_mode)]; }
    const ModeSettings& cur() const { return m_modes[static_cast<std::size_t>(m_mode)]; }
    void setDefaultScales();
    void allocateSurfaces();
    void copySamples(const float* src, float* dst) const;
    void copySamples(const std::int16_t* src, float* dst) const;
    void magnitudeSpectrum(const float* samples, float* out);
    void applyTrigger();
    void average(float* data, FloatVector& history, std::int32_t& newest, std::int32_t length);
    void updateScale();
    void drawRange(std::int32_t& first, std::int32_t& last) const;
    void scaleChannel(float* data, float gain, float offset, std::int32_t first, std::int32_t last);
    void filterCurve();
    // Drawing (SpectrumDrawing.cpp).
    GraticuleKey graticuleKey() const;
    void renderGraticule();
    void drawFrame(QImage& surface);
    void drawFrequencyTraces(QImage& surface, std::int32_t first, std::int32_t last);
    void drawTimeTraces(QImage& surface, std::int32_t first, std::int32_t last);
    void drawPhaseTrace(QImage& surface, std::int32_t first, std::int32_t last);
    double yToPx(double y) const { return (m_scaleTop - y) * m_yPxPerUnit; }
    double clampPx(double py) const;
    void notify() const {
        if (m_changed) m_changed();
    }

    SettingsStore* m_store;
    std::string m_name;
    bool m_constructing = true;
    bool m_initialised = false;
    std::int32_t m_fSampling = 48000;
    std::int32_t m_points = 2048;
    std::int32_t m_order = 11;
    float m_gain = 1.0f;
    bool m_autoGain = false;
    bool m_reverse = false;
    bool m_active = false;
    std::int32_t m_spectrumWidth = 24000;
    std::int32_t m_spectrumSmooth = 8;
    std::int32_t m_screenWidth = 1023;
    std::int32_t m_fStart = 0;
    std::int32_t m_fEnd = 24000;
    float m_hzPerBin = 23.4375f;
    std::int32_t m_startBin = 0;
    std::int32_t m_stopBin = 1024;
    std::int32_t m_fOffset = 0;
    bool m_smoothSpectrum = true;
    std::int32_t m_mode = 0;
    bool m_showNotch = false;
    bool m_showFilter = false;
    float m_notchCentre = 1000.0f;
    float m_notchCentre2 = -1.0f;
    float m_notchWidth = 100.0f;
    std::array<ModeSettings, 3> m_modes;

    // Working arrays, Points + 1 entries each; averaging histories kMaxSmooth frames.
    FloatVector m_samplesI, m_samplesQ, m_re, m_im, m_chn1, m_chn2;
    FloatVector m_filterPower, m_filterCurve, m_filterTaps, m_filterWork;
    FloatVector m_history1, m_history2;
    std::int32_t m_historyPos1 = 0, m_historyPos2 = 0; // ring slots of the newest frames
    clsFFTReal m_fft;
    bool m_haveFilterTaps = false;
    bool m_filterLog = false; // LogMode the curve was computed for

    // Surfaces and the user scale of the current mode (SetupDisplay).
    QSize m_size{1024, 256};
    double m_dpr = 1.0;
    std::array<QImage, 2> m_surface;
    QImage m_graticule;
    std::optional<GraticuleKey> m_graticuleKey;
    int m_visible = 0;
    int m_next = 0;
    std::int64_t m_frames = 0;
    float m_scaleLeft = 0, m_scaleWidth = 1024, m_scaleTop = 0, m_scaleHeight = 0;
    double m_yPxPerUnit = 0.0;
    std::vector<QPointF> m_points1, m_points2; // polyline vertices, Points + 2 each
    std::vector<GraticuleLabel> m_freqLabels, m_dbLabels;
    QFont m_font;

    Waterfall* m_waterfall = nullptr;
    std::function<void()> m_changed;
    bool m_inSetup = false;
    bool m_inDisplay = false;
};

} // namespace orvex
