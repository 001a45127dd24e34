#include "display/Waterfall.h"

#include "core/SettingsStore.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr float kMinDbLimit = -200.0f;
constexpr float kMaxDbLimit = 21.0f;

std::array<std::uint32_t, 256> MakeColourMap() {
    // Dark background, blue, yellow, red: the noise floor stays dark blue, weak stations show
    // blue, strong ones yellow and the strongest red.
    struct Stop {
        float at;
        int r, g, b;
    };
    constexpr Stop stops[] = {
        {0.00f, 0, 0, 24}, {0.35f, 0, 0, 255}, {0.70f, 255, 255, 0}, {1.00f, 255, 0, 0}};
    std::array<std::uint32_t, 256> map{};
    for (int i = 0; i < 256; ++i) {
        const float t = static_cast<float>(i) / 255.0f;
        std::size_t s = 0;
        while (s + 2 < std::size(stops) && t > stops[s + 1].at)
            ++s;
        const Stop& a = stops[s];
        const Stop& b = stops[s + 1];
        const float u = std::clamp((t - a.at) / (b.at - a.at), 0.0f, 1.0f);
        const auto mix = [u](int x, int y) {
            return static_cast<int>(
                std::lround(static_cast<float>(x) + u * static_cast<float>(y - x)));
        };
        map[static_cast<std::size_t>(i)] = qRgb(mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b));
    }
    return map;
}

} // namespace

const std::array<std::uint32_t, 256>& Waterfall::ColourMap() {
    static const std::array<std::uint32_t, 256> map = MakeColourMap();
    return map;
}

Waterfall::Waterfall(SettingsStore* store, std::string section)
    : m_store(store), m_section(std::move(section)) {
    RestoreSettings();
    resizeRing(static_cast<std::int32_t>(std::lround(m_axis.WidthPx)), m_height);
}

void Waterfall::setEnabled(bool on) {
    // A waterfall switched back on starts empty rather than with lines from before the pause.
    if (on && !m_enabled) Clear();
    m_enabled = on;
}

void Waterfall::RestoreSettings() {
    if (m_store == nullptr) return;
    const auto number = [this](const char* key, double fallback) {
        return ParseNumber(m_store->get(m_section, key, "")).value_or(fallback);
    };
    m_enabled = ParseBool(m_store->get(m_section, "WaterfallOn", "True")).value_or(true);
    const double min = number("WaterfallMinDb", kDefaultMinDb);
    const double max = number("WaterfallMaxDb", kDefaultMaxDb);
    // Take the pair as a whole: a range that makes no sense falls back to the defaults.
    if (min >= kMinDbLimit && max <= kMaxDbLimit && max - min >= 1.0) {
        m_minDb = static_cast<float>(min);
        m_maxDb = static_cast<float>(max);
    }
    const double height = number("WaterfallHeight", m_height);
    m_height = std::clamp(static_cast<std::int32_t>(std::lround(height)), kMinHeight, kMaxHeight);
}

void Waterfall::SaveSettings() const {
    if (m_store == nullptr) return;
    m_store->save(m_section, "WaterfallOn", BoolText(m_enabled));
    m_store->save(m_section, "WaterfallHeight", IntText(m_height));
    m_store->save(m_section, "WaterfallMinDb", SingleText(m_minDb));
    m_store->save(m_section, "WaterfallMaxDb", SingleText(m_maxDb));
}

void Waterfall::setHeight(std::int32_t px) {
    px = std::clamp(px, kMinHeight, kMaxHeight);
    if (px == m_height) return;
    m_height = px;
    resizeRing(m_ring.width(), m_height);
    notify();
}

void Waterfall::setMinDb(float db) {
    if (!std::isfinite(db)) return;
    m_minDb = std::clamp(db, kMinDbLimit, m_maxDb - 1.0f);
}

void Waterfall::setMaxDb(float db) {
    if (!std::isfinite(db)) return;
    m_maxDb = std::clamp(db, m_minDb + 1.0f, kMaxDbLimit);
}

void Waterfall::setAxis(const BinAxis& axis) {
    const auto width = static_cast<std::int32_t>(std::lround(axis.WidthPx));
    const bool binsMoved = axis.StartBin != m_axis.StartBin || axis.StopBin != m_axis.StopBin ||
                           axis.ReverseSpectrum != m_axis.ReverseSpectrum ||
                           axis.WidthPx != m_axis.WidthPx;
    m_axis = axis; // a new frequency offset alone moves no column
    if (!binsMoved) return;
    if (width != m_ring.width()) {
        resizeRing(width, m_height);
        return;
    }
    buildColumns();
    Clear(); // old lines no longer sit under the trace's frequencies
}

void Waterfall::resizeRing(std::int32_t width, std::int32_t height) {
    m_ring = QImage(std::max(width, 1), height, QImage::Format_RGB32);
    const auto cols = static_cast<std::size_t>(m_ring.width());
    m_colFirst.assign(cols, 0);
    m_colLast.assign(cols, 0);
    buildColumns();
    Clear();
}

void Waterfall::Clear() {
    m_ring.fill(ColourMap()[0]);
    m_newest = 0;
}

void Waterfall::buildColumns() {
    // Column c shows the bins the trace draws within half a pixel of c; a column between two
    // bins (a zoomed-in window) shows the nearest bin.
    const int cols = m_ring.width();
    for (int c = 0; c < cols; ++c) {
        const double a = m_axis.BinAtX(c - 0.5);
        const double b = m_axis.BinAtX(c + 0.5);
        std::int32_t first, last;
        if (m_axis.ReverseSpectrum) {
            first = static_cast<std::int32_t>(std::ceil(a));
            last = static_cast<std::int32_t>(std::ceil(b)) - 1;
        } else {
            first = static_cast<std::int32_t>(std::floor(b)) + 1;
            last = static_cast<std::int32_t>(std::floor(a));
        }
        first = std::max(first, m_axis.StartBin);
        last = std::min(last, m_axis.StopBin);
        if (first > last) {
            const auto nearest = static_cast<std::int32_t>(std::lround(m_axis.BinAtX(c)));
            first = last = std::clamp(nearest, m_axis.StartBin, m_axis.StopBin);
        }
        m_colFirst[static_cast<std::size_t>(c)] = first;
        m_colLast[static_cast<std::size_t>(c)] = last;
    }
}

int Waterfall::LevelIndex(float db) const {
    const float t = (db - m_minDb) / (m_maxDb - m_minDb);
    if (!(t > 0.0f)) return 0; // also NaN
    if (t >= 1.0f) return 255;
    return static_cast<int>(t * 255.0f + 0.5f);
}

void Waterfall::AddLine(const float* magnitude, std::int32_t numBins) {
    if (!m_enabled || magnitude == nullptr || numBins <= 0 || m_ring.isNull()) return;
    m_newest = (m_newest + m_ring.height() - 1) % m_ring.height();
    auto* line = reinterpret_cast<QRgb*>(m_ring.scanLine(m_newest));
    const auto& map = ColourMap();
    const float scale = 1.0f / m_fullScale;
    const int cols = m_ring.width();
    for (int c = 0; c < cols; ++c) {
        const auto col = static_cast<std::size_t>(c);
        const std::int32_t first = std::clamp(m_colFirst[col], 0, numBins - 1);
        const std::int32_t last = std::clamp(m_colLast[col], 0, numBins - 1);
        float peak = magnitude[first];
        for (std::int32_t b = first + 1; b <= last; ++b)
            peak = std::max(peak, magnitude[b]);
        const float db = 20.0f * std::log10(std::max(peak * scale, 1e-12f));
        line[c] = map[static_cast<std::size_t>(LevelIndex(db))];
    }
    ++m_lines;
    notify();
}

void Waterfall::Draw(QPainter& painter, const QRectF& target) const {
    if (m_ring.isNull() || target.isEmpty()) return;
    const int h = m_ring.height();
    const int w = m_ring.width();
    const int top = h - m_newest; // ring rows newest..h-1 go first
    const double rowH = target.height() / h;
    painter.drawImage(QRectF(target.left(), target.top(), target.width(), top * rowH), m_ring,
                      QRectF(0, m_newest, w, top));
    if (m_newest > 0)
        painter.drawImage(
            QRectF(target.left(), target.top() + top * rowH, target.width(), m_newest * rowH),
            m_ring, QRectF(0, 0, w, m_newest));
}

QImage Waterfall::Composed() const {
    QImage out(m_ring.size(), QImage::Format_RGB32);
    const int h = m_ring.height();
    for (int y = 0; y < h; ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(m_ring.constScanLine((m_newest + y) % h)),
                    m_ring.width(), reinterpret_cast<QRgb*>(out.scanLine(y)));
    return out;
}

} // namespace orvex
