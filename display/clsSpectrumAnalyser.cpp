// The analyser's properties, settings, set-up, loading and the computing half of a frame
// (transform, trigger, averaging, gain). Drawing is in SpectrumDrawing.cpp.
#include "display/clsSpectrumAnalyser.h"

#include "core/Format.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"
#include "display/PanelPaint.h"
#include "display/Waterfall.h"
#include "dsp/OrvexVector.h"
#include "dsp/VectorOps.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr std::int32_t kMinOrder = 4;
constexpr std::int32_t kMaxOrder = 14;

std::string ModeSection(const std::string& name, int mode) {
    return name + ".Mode." + std::to_string(mode);
}

} // namespace

clsSpectrumAnalyser::clsSpectrumAnalyser(SettingsStore* store, std::string name)
    : m_store(store), m_name(std::move(name)), m_font(PanelFont()) {
    m_spectrumSmooth = 8;
    setDefaultScales();
    RestoreSettings();
    m_fOffset = 0;
    m_gain = 1.0f;
    m_constructing = false;
}

void clsSpectrumAnalyser::setDefaultScales() {
    for (int m = 0; m < 3; ++m) {
        ModeSettings& s = m_modes[static_cast<std::size_t>(m)];
        // Frequency mode: bin magnitudes, a full-scale tone reaching about 33.5 million;
        // Time and Phase modes: 16-bit samples.
        const float top = m == 0 ? 24000000.0f : 32768.0f;
        s.YScaleMax = top;
        s.YScaleMin = -top;
        s.YScaleRange = 2.0f * top;
        s.YScaleLogMax = static_cast<float>(std::log10(top));
        s.YScaleLogMin = s.YScaleLogMax * (m == 0 ? -0.000001f : -0.01f);
        s.YScaleLogRange = s.YScaleLogMax - s.YScaleLogMin;
    }
}

// ---- Settings --------------------------------------------------------------------------------

void clsSpectrumAnalyser::RestoreSettings() {
    if (m_store == nullptr) return;
    const auto flag = [this](const std::string& section, const char* key, bool fallback) {
        return ParseBool(m_store->get(section, key, "")).value_or(fallback);
    };
    const auto number = [this](const std::string& section, const char* key, double fallback) {
        const auto v = ParseNumber(m_store->get(section, key, ""));
        return v && std::isfinite(*v) ? *v : fallback;
    };
    m_active = flag(m_name, "Active", false);
    const auto mode = ParseInt32(m_store->get(m_name, "Mode", "0")).value_or(0);
    setMode(mode);
    m_smoothSpectrum = flag(m_name, "SmoothSpectrum", true);
    m_showNotch = flag(m_name, "ShowNotch", false);
    m_showFilter = flag(m_name, "ShowFilter", false);
    m_autoGain = flag(m_name, "AutoGain", false);
    m_reverse = flag(m_name, "ReverseSpectrum", false);
    for (int m = 0; m < 3; ++m) {
        const std::string section = ModeSection(m_name, m);
        ModeSettings& s = m_modes[static_cast<std::size_t>(m)];
        s.LogMode = flag(section, "LogMode", false);
        s.FastMode = flag(section, "FastMode", false);
        // Shifts are kept as set; their offsets follow when the shift is written again.
        s.Chn1Shift =
            static_cast<float>(std::clamp(number(section, "Chn1.Shift", 0), -100.0, 100.0));
        s.Chn2Shift =
            static_cast<float>(std::clamp(number(section, "Chn2.Shift", 0), -100.0, 100.0));
        const auto gain = [](double g) {
            g = std::clamp(g, 0.0, 99.0);
            return g == 0.0 ? 0.000001f : static_cast<float>(g);
        };
        s.Chn1Gain = gain(number(section, "Chn1.Gain", 1));
        s.Chn2Gain = gain(number(section, "Chn2.Gain", 1));
        s.Chn1Enabled = flag(section, "Chn1.Enabled", true);
        s.Chn2Enabled = flag(section, "Chn2.Enabled", true);
        s.Chn1Trig = flag(section, "Chn1.TriggerOn", true);
        s.Chn2Trig = flag(section, "Chn2.TriggerOn", false);
        // The trigger flags mirror the trigger channel, so the channel follows from them.
        s.TriggerChn = s.Chn1Trig ? 1 : (s.Chn2Trig ? 2 : 0);
        if (s.Chn1Trig && s.Chn2Trig) s.Chn2Trig = false;
    }
    // The X-Y display needs both channels whatever was saved.
    m_modes[2].Chn1Enabled = m_modes[2].Chn2Enabled = true;
}

void clsSpectrumAnalyser::SaveSettings() const {
    if (m_store == nullptr) return;
    for (int m = 0; m < 3; ++m) {
        const std::string section = ModeSection(m_name, m);
        const ModeSettings& s = m_modes[static_cast<std::size_t>(m)];
        m_store->save(section, "LogMode", BoolText(s.LogMode));
        m_store->save(section, "FastMode", BoolText(s.FastMode));
        m_store->save(section, "Chn1.Shift", SingleText(s.Chn1Shift));
        m_store->save(section, "Chn2.Shift", SingleText(s.Chn2Shift));
        m_store->save(section, "Chn1.Gain", SingleText(s.Chn1Gain));
        m_store->save(section, "Chn2.Gain", SingleText(s.Chn2Gain));
        m_store->save(section, "Chn1.Enabled", BoolText(s.Chn1Enabled));
        m_store->save(section, "Chn2.Enabled", BoolText(s.Chn2Enabled));
        m_store->save(section, "Chn1.TriggerOn", BoolText(s.Chn1Trig));
        m_store->save(section, "Chn2.TriggerOn", BoolText(s.Chn2Trig));
    }
    m_store->save(m_name, "Mode", IntText(m_mode));
    m_store->save(m_name, "ShowNotch", BoolText(m_showNotch));
    m_store->save(m_name, "ShowFilter", BoolText(m_showFilter));
    m_store->save(m_name, "ReverseSpectrum", BoolText(m_reverse));
    m_store->save(m_name, "Active", BoolText(m_active));
    m_store->save(m_name, "SmoothSpectrum", BoolText(m_smoothSpectrum));
    m_store->save(m_name, "AutoGain", BoolText(m_autoGain));
    m_store->save(m_name, "SpectrumWidth", IntText(m_spectrumWidth));
    m_store->save(m_name, "TriggerChn", IntText(cur().TriggerChn));
}

// ---- Property rules --------------------------------------------------------------------------

void clsSpectrumAnalyser::setSpectrumSmooth(std::int32_t frames) {
    m_spectrumSmooth = std::clamp(frames, 1, kMaxSmooth);
}

void clsSpectrumAnalyser::setMode(std::int32_t mode) {
    if (mode < 0 || mode > 2) return;
    m_mode = mode;
    if (mode == 2) m_modes[2].Chn1Enabled = m_modes[2].Chn2Enabled = true;
    SetupDisplay();
}

void clsSpectrumAnalyser::setChn1Gain(float g) {
    cur().Chn1Gain = g == 0.0f ? 0.000001f : g;
}

void clsSpectrumAnalyser::setChn2Gain(float g) {
    cur().Chn2Gain = g == 0.0f ? 0.000001f : g;
}

void clsSpectrumAnalyser::setTriggerChn(std::int16_t chn) {
    ModeSettings& s = cur();
    s.TriggerChn = chn;
    s.Chn1Trig = chn == 1;
    s.Chn2Trig = chn == 2;
}

void clsSpectrumAnalyser::setChn1Shift(float shift) {
    cur().Chn1Shift = shift;
    cur().Chn1Offset = shift / 150.0f * YScaleRange();
}

void clsSpectrumAnalyser::setChn2Shift(float shift) {
    cur().Chn2Shift = shift;
    cur().Chn2Offset = shift / 150.0f * YScaleRange();
}

float clsSpectrumAnalyser::YScaleMax() const {
    return cur().LogMode ? cur().YScaleLogMax : cur().YScaleMax;
}

float clsSpectrumAnalyser::YScaleMin() const {
    return cur().LogMode ? cur().YScaleLogMin : cur().YScaleMin;
}

float clsSpectrumAnalyser::YScaleRange() const {
    return cur().LogMode ? cur().YScaleLogRange : cur().YScaleRange;
}

void clsSpectrumAnalyser::setYScaleMax(float top) {
    cur().YScaleMax = top;
    cur().YScaleRange = top - cur().YScaleMin;
}

void clsSpectrumAnalyser::setYScaleMin(float bottom) {
    cur().YScaleMin = bottom;
    cur().YScaleRange = cur().YScaleMax - bottom;
}

// ---- Set-up ----------------------------------------------------------------------------------

void clsSpectrumAnalyser::init() {
    m_order = std::clamp(m_order, kMinOrder, kMaxOrder);
    m_points = 1 << m_order;
    m_gain = 1.0f;
    const auto n = static_cast<std::size_t>(m_points) + 1;
    for (FloatVector* v : {&m_samplesI, &m_samplesQ, &m_re, &m_im, &m_chn1, &m_chn2, &m_filterPower,
                           &m_filterCurve, &m_filterTaps, &m_filterWork})
        v->assign(n, 0.0f);
    m_history1.assign(n * kMaxSmooth, 0.0f);
    m_history2.assign(n * kMaxSmooth, 0.0f);
    m_historyPos1 = m_historyPos2 = 0;
    m_points1.assign(n + 1, QPointF());
    m_points2.assign(n + 1, QPointF());
    m_fft.FFTInit(m_points);
    if (m_fSampling <= 0) m_fSampling = 48000;
    m_spectrumWidth = m_fSampling / 2;
    m_hzPerBin = static_cast<float>(m_spectrumWidth) / static_cast<float>(m_points) * 2.0f;
    m_startBin = RoundHalfEven32(m_fStart / m_hzPerBin);
    m_stopBin = RoundHalfEven32(m_fEnd / m_hzPerBin);
    m_haveFilterTaps = false;
    if (m_waterfall != nullptr)
        m_waterfall->setFullScale(32767.0f * static_cast<float>(m_points) / 2.0f);
    m_initialised = true;
    SetupDisplay();
}

void clsSpectrumAnalyser::SetupDisplay() {
    if (m_constructing || m_inSetup || m_inDisplay) return;
    m_inSetup = true;
    if (!m_initialised) init();
    if (m_surface[0].isNull()) allocateSurfaces();
    updateScale();
    renderGraticule();
    for (auto& s : m_surface)
        std::copy_n(m_graticule.constBits(), m_graticule.sizeInBytes(), s.bits());
    m_visible = 0;
    m_next = 0;
    m_inSetup = false;
    notify();
}

void clsSpectrumAnalyser::allocateSurfaces() {
    const QSize device(std::max(1, static_cast<int>(std::lround(m_size.width() * m_dpr))),
                       std::max(1, static_cast<int>(std::lround(m_size.height() * m_dpr))));
    for (auto* s : {&m_surface[0], &m_surface[1], &m_graticule}) {
        *s = QImage(device, QImage::Format_RGB32);
        s->setDevicePixelRatio(m_dpr);
        s->fill(Qt::black);
    }
    m_graticuleKey.reset();
}

void clsSpectrumAnalyser::setSurfaceSize(QSize logical, double devicePixelRatio) {
    logical = logical.expandedTo(QSize(2, 2));
    if (!(devicePixelRatio > 0.0)) devicePixelRatio = 1.0;
    if (logical == m_size && devicePixelRatio == m_dpr && !m_surface[0].isNull()) return;
    m_size = logical;
    m_dpr = devicePixelRatio;
    allocateSurfaces();
    if (m_initialised) SetupDisplay();
}

void clsSpectrumAnalyser::updateScale() {
    // The user scale of the mode: Frequency and Time put bins or samples across, display
    // units up; Phase puts channel 2 across with one unit as long across as up.
    m_scaleTop = YScaleMax();
    m_scaleHeight = -YScaleRange();
    const std::int32_t span = m_stopBin - m_startBin;
    if (m_mode == 2) {
        const float aspect =
            static_cast<float>(m_size.width()) / static_cast<float>(m_size.height());
        m_scaleLeft = -aspect * m_scaleTop;
        m_scaleWidth = aspect * YScaleRange();
    } else {
        m_scaleLeft = 0.0f;
        m_scaleWidth = span > 0 ? static_cast<float>(span) : 100.0f;
    }
    const double range = YScaleRange();
    m_yPxPerUnit = range != 0.0 ? (m_size.height() - 1) / range : 0.0;
}

BinAxis clsSpectrumAnalyser::Axis() const {
    BinAxis a;
    std::int32_t first = 0, last = 0;
    drawRange(first, last);
    a.StartBin = first;
    a.StopBin = last;
    a.ReverseSpectrum = m_reverse;
    a.WidthPx = m_size.width();
    a.HzPerBin = m_hzPerBin;
    a.FOffset = m_fOffset;
    a.SpanHz = m_spectrumWidth;
    return a;
}

void clsSpectrumAnalyser::drawRange(std::int32_t& first, std::int32_t& last) const {
    // Frequency mode draws bins 0..Points/2, Time and Phase samples 0..Points-1.
    const std::int32_t top = m_mode == 0 ? m_points / 2 : m_points - 1;
    first = std::clamp(m_startBin, 0, top - 1);
    last = std::clamp(m_stopBin, first + 1, top);
}

std::string clsSpectrumAnalyser::FrequencyReadout(double x) const {
    const double f = FrequencyAtX(x);
    return AxisShowsRadioFrequency() ? FormatNumber(f, "#0 000 000") : FormatNumber(f, "###0");
}

std::optional<double> clsSpectrumAnalyser::ClickTuneMHz(double x) const {
    if (!AxisShowsRadioFrequency() || m_mode != 0) return std::nullopt;
    const double hz = std::round(FrequencyAtX(x));
    // Snapped to whole kilohertz as the readout's "#0.000" MHz shows it.
    return ParseNumber(FormatNumber(hz / 1000000.0, "#0.000"));
}

void clsSpectrumAnalyser::AttachWaterfall(Waterfall* waterfall) {
    m_waterfall = waterfall;
    if (m_waterfall != nullptr) {
        m_waterfall->setFullScale(32767.0f * static_cast<float>(m_points) / 2.0f);
        m_waterfall->setAxis(Axis());
    }
}

// ---- Loading ---------------------------------------------------------------------------------

void clsSpectrumAnalyser::copySamples(const float* src, float* dst) const {
    const std::int32_t n = std::min(m_points, kTapBlock);
    if (src != nullptr)
        vec::CopySingle(src, dst, n);
    else
        vec::ZeroSingle(dst, n);
}

void clsSpectrumAnalyser::copySamples(const std::int16_t* src, float* dst) const {
    const std::int32_t n = std::min(m_points, kTapBlock);
    if (src != nullptr)
        dll::Int16ToFloat_S_2(src, dst, n);
    else
        vec::ZeroSingle(dst, n);
}

void clsSpectrumAnalyser::LoadSamples_INT16(const std::int16_t* Channel1,
                                            const std::int16_t* Channel2) {
    if (!m_active || !m_initialised || m_inDisplay) return;
    copySamples(Channel1, m_samplesI.data());
    copySamples(Channel2, m_samplesQ.data());
}

void clsSpectrumAnalyser::LoadSamples_S(const float* Channel1, const float* Channel2) {
    if (!m_active || !m_initialised || m_inDisplay) return;
    copySamples(Channel1, m_samplesI.data());
    copySamples(Channel2, m_samplesQ.data());
}

void clsSpectrumAnalyser::LoadFilterCoeffs_T_S(const float* Coeffs_S) {
    if (!m_initialised || Coeffs_S == nullptr) return;
    const std::int32_t n = std::min(m_points, kTapBlock);
    vec::ZeroSingle(m_filterTaps.data(), m_points);
    vec::CopySingle(Coeffs_S, m_filterTaps.data(), n);
    m_haveFilterTaps = true;
    filterCurve();
}

void clsSpectrumAnalyser::filterCurve() {
    // The kernel scaled so that a pass band of unity gain reaches the top of the display: by
    // 12 in log mode (log10(12 + 1.01) x 0.89 x top is just under the top), by the scale top
    // in linear mode. The response is taken as magnitudes, like the traces.
    const bool log = LogMode();
    const float top = YScaleMax();
    float* work = m_filterWork.data();
    vec::CopySingle(m_filterTaps.data(), work, m_points);
    vec::Scale(log ? 12.0f : top, work, m_points);
    magnitudeSpectrum(work, m_filterPower.data());
    const std::int32_t bins = m_points / 2 + 1;
    dll::Add_S_1(1.01f, m_filterPower.data(), bins);
    const float k = log ? 0.89f * top : 0.9f * top;
    for (std::int32_t i = 0; i < bins; ++i)
        m_filterCurve[static_cast<std::size_t>(i)] =
            static_cast<float>(Log10Abs(m_filterPower[static_cast<std::size_t>(i)])) * k;
    m_filterLog = log;
}

void clsSpectrumAnalyser::LoadFilterCoeffs_F_S(const float* Coeffs_S) {
    if (!m_initialised || Coeffs_S == nullptr) return;
    vec::CopySingle(Coeffs_S, m_filterPower.data(), m_points);
    for (std::int32_t i = 0; i < m_points; ++i)
        m_filterCurve[static_cast<std::size_t>(i)] =
            static_cast<float>(Log10Abs(m_filterPower[static_cast<std::size_t>(i)])) * 20.0f;
    m_haveFilterTaps = false; // a response, not a kernel: nothing to recompute later
    m_filterLog = LogMode();
}

// ---- A frame ---------------------------------------------------------------------------------

void clsSpectrumAnalyser::Display() {
    Display_S(m_samplesI.data(), m_samplesQ.data());
}

void clsSpectrumAnalyser::Display_I16(const std::int16_t* Channel1, const std::int16_t* Channel2) {
    if (!m_initialised || m_inDisplay) return;
    copySamples(Channel1, m_samplesI.data());
    copySamples(Channel2, m_samplesQ.data());
    Display_S(m_samplesI.data(), m_samplesQ.data());
}

void clsSpectrumAnalyser::magnitudeSpectrum(const float* samples, float* out) {
    // Bin magnitudes |X[k]| for k = 0..Points/2: a full-scale tone (32767) on a bin reaches
    // 32767 x Points / 2, and 20 log10 of a magnitude is its level in dB.
    m_fft.FFT_Real_S_2(samples, m_re.data(), m_im.data());
    const std::int32_t bins = m_points / 2 + 1;
    dll::PowerSpectrum_S_2(m_re.data(), m_im.data(), out, bins);
    for (std::int32_t i = 0; i < bins; ++i)
        out[i] = std::sqrt(out[i]);
}

void clsSpectrumAnalyser::Display_S(const float* Channel1, const float* Channel2) {
    if (!m_active || !m_initialised || m_inDisplay || Channel1 == nullptr) return;
    m_inDisplay = true;
    if (Channel2 == nullptr) Channel2 = Channel1;
    const ModeSettings& s = cur();
    switch (m_mode) {
    case 0:
        if (s.Chn1Enabled) magnitudeSpectrum(Channel1, m_chn1.data());
        if (s.Chn2Enabled) magnitudeSpectrum(Channel2, m_chn2.data());
        if (m_waterfall != nullptr && (s.Chn1Enabled || s.Chn2Enabled)) {
            m_waterfall->setAxis(Axis());
            m_waterfall->AddLine(s.Chn1Enabled ? m_chn1.data() : m_chn2.data(), m_points / 2 + 1);
        }
        break;
    case 1:
        if (s.Chn1Enabled) vec::CopySingle(Channel1, m_chn1.data(), m_points);
        if (s.Chn2Enabled) vec::CopySingle(Channel2, m_chn2.data(), m_points);
        applyTrigger();
        break;
    default:
        vec::CopySingle(Channel1, m_chn1.data(), m_points);
        vec::CopySingle(Channel2, m_chn2.data(), m_points);
        break;
    }
    // Averaging over the whole spectrum or block, then gain and offset over what is drawn.
    const std::int32_t length = m_mode == 0 ? m_points / 2 + 1 : m_points;
    const bool one = m_mode == 2 || s.Chn1Enabled;
    const bool two = m_mode == 2 || s.Chn2Enabled;
    if (!s.FastMode) {
        if (one) average(m_chn1.data(), m_history1, m_historyPos1, length);
        if (two) average(m_chn2.data(), m_history2, m_historyPos2, length);
    }
    std::int32_t first = 0, last = 0;
    drawRange(first, last);
    if (one) scaleChannel(m_chn1.data(), s.Chn1Gain, s.Chn1Offset, first, last);
    if (two) scaleChannel(m_chn2.data(), s.Chn2Gain, s.Chn2Offset, first, last);
    if (m_haveFilterTaps && m_filterLog != s.LogMode) filterCurve();
    QImage& surface = m_surface[static_cast<std::size_t>(m_next)];
    drawFrame(surface);
    m_visible = m_next;
    m_next ^= 1;
    ++m_frames;
    m_inDisplay = false;
    notify();
}

void clsSpectrumAnalyser::applyTrigger() {
    // A peak trigger: the window starts at the largest sample of the trigger channel, searched
    // where a whole window still fits after it.
    const ModeSettings& s = cur();
    if (s.TriggerChn != 1 && s.TriggerChn != 2) return;
    const float* data = s.TriggerChn == 1 ? m_chn1.data() : m_chn2.data();
    const std::int32_t n = m_points - m_screenWidth - 1;
    const std::int32_t k = dll::MaxIndex_S(data, n);
    if (k > n) {
        m_startBin = 0;
    } else {
        m_startBin = k;
        m_stopBin = k + m_screenWidth - 1;
    }
}

void clsSpectrumAnalyser::average(float* data, FloatVector& history, std::int32_t& newest,
                                  std::int32_t length) {
    // Weighted history of N = SpectrumSmooth frames: the frame k blocks old has weight
    // (k + 1) / N, the sum divided by the sum of the weights. The ring keeps kMaxSmooth
    // frames, so changing N uses the true history at once.
    const auto stride = static_cast<std::size_t>(m_points) + 1;
    newest = (newest + 1) % kMaxSmooth;
    float* slot = history.data() + static_cast<std::size_t>(newest) * stride;
    vec::CopySingle(data, slot, length);
    const std::int32_t n = m_spectrumSmooth;
    const float norm = 2.0f / static_cast<float>(n * (n + 1));
    vec::ZeroSingle(data, length);
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t row = (newest - k + kMaxSmooth) % kMaxSmooth;
        const float* frame = history.data() + static_cast<std::size_t>(row) * stride;
        const float w = static_cast<float>(k + 1) * norm;
        for (std::int32_t i = 0; i < length; ++i)
            data[i] += frame[i] * w;
    }
}

void clsSpectrumAnalyser::scaleChannel(float* data, float gain, float offset, std::int32_t first,
                                       std::int32_t last) {
    const std::int32_t n = last - first + 1;
    float* d = data + first;
    if (m_mode == 0 && LogMode()) {
        // Log10 of the magnitude (0 for silence and for anything below 1), then the channel's
        // offset less a third of the log top, times its gain. The gain slider's Gain is a
        // shift of 20 log10(Gain) dB.
        const float shift = offset - YScaleMax() / 3.0f + std::log10(m_gain);
        for (std::int32_t i = 0; i < n; ++i) {
            const float v = std::fabs(d[i]);
            const float l = v > 1.0f ? std::log10(v) : 0.0f;
            d[i] = (l + shift) * gain;
        }
        if (m_autoGain) {
            // In dB a gain is a shift: the peak goes to the top.
            const float peak = dll::MaxValue_S(d, n);
            dll::Add_S_1(YScaleMax() - peak, d, n);
        }
        return;
    }
    if (m_autoGain) {
        const float peak = dll::MaxValue_S(d, n);
        if (peak != 0.0f) vec::Scale(std::fabs(YScaleMax() / peak), d, n);
        return;
    }
    gain *= m_gain;
    if (gain != 1.0f) vec::Scale(gain, d, n);
    dll::Add_S_1(offset, d, n);
}

} // namespace orvex
