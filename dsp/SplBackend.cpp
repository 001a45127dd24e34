#include "SplBackend.h"

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/Folders.h"
#include "core/SafeFile.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fftw3.h>
#include <string>
#include <volk/constants.h>
#include <volk/volk.h>

namespace orvex::spl {
namespace {

bool g_probed = false;
bool g_available = false;
std::string g_description = "optimised back end not probed";

// Interleaving scratch for the polar conversion, processed in chunks so no call allocates.
constexpr std::int32_t kChunk = 1024;
alignas(64) lv_32fc_t g_interleaved[kChunk];

bool TrialAddInt16() {
    // Ten 16-bit values plus 1, through VOLK's conversion and addition kernels.
    alignas(64) std::int16_t in[10] = {0, 1, -1, 100, -100, 32000, -32000, 7, -7, 12345};
    alignas(64) float f[10];
    alignas(64) std::int16_t out[10];
    volk_16i_s32f_convert_32f(f, in, 1.0f, 10);
    volk_32f_s32f_add_32f(f, f, 1.0f, 10);
    volk_32f_s32f_convert_16i(out, f, 1.0f, 10);
    for (int i = 0; i < 10; ++i)
        if (out[i] != in[i] + 1) return false;
    return true;
}

bool TrialTransform() {
    // An impulse at 0 must give 1 + 0j in every bin, a unit step at bin 1 a rotating phasor.
    ComplexFFT fft(8);
    alignas(64) float ri[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    alignas(64) float ii[8] = {0, 1, 0, 0, 0, 0, 0, 0};
    alignas(64) float ro[8];
    alignas(64) float io[8];
    fft.execute(ri, ii, ro, io);
    for (int k = 0; k < 8; ++k) {
        // x = delta[0] + j delta[1]: X[k] = 1 + j e^(-j 2 pi k / 8)
        const double angle = -2.0 * M_PI * k / 8.0;
        const double er = 1.0 - std::sin(angle);
        const double ei = std::cos(angle);
        if (std::fabs(ro[k] - er) > 1e-5 || std::fabs(io[k] - ei) > 1e-5) return false;
    }
    return true;
}

// FFTW measures each transform size once to choose its fastest plan (a few hundred
// milliseconds); the choice is kept in a per-user cache file and read back at the next start.
// ORVEX_FFTW_WISDOM names another file, or "off" to measure every run. The file is read only
// when it is a regular file and written through the safe writer, like every file the receiver
// keeps.
constexpr std::uint64_t kMaxWisdomBytes = 4u << 20;

std::string WisdomPath() {
    if (const char* env = std::getenv("ORVEX_FFTW_WISDOM"))
        return std::strcmp(env, "off") == 0 ? std::string() : env;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return std::string(cache) + "/OrvexSDR/fftw-wisdom";
    if (const std::string home = HomeFolder(); !home.empty())
        return home + "/.cache/OrvexSDR/fftw-wisdom";
    return {};
}

bool g_wisdomLoaded = false;

void LoadWisdom() {
    if (g_wisdomLoaded) return;
    g_wisdomLoaded = true;
    const std::string path = WisdomPath();
    std::string text;
    // A missing, unreadable or damaged cache only means measuring again.
    if (!path.empty() && ReadWholeFile(path, text, kMaxWisdomBytes))
        fftwf_import_wisdom_from_string(text.c_str());
}

void SaveWisdom() {
    const std::string path = WisdomPath();
    if (path.empty()) return;
    char* text = fftwf_export_wisdom_to_string();
    if (!text) return;
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0 || MakeFolders(path.substr(0, slash)))
        WriteWholeFile(path, text); // a cache that cannot be written is measured again
    std::free(text);
}

} // namespace

struct ComplexFFT::Impl {
    fftwf_plan plan = nullptr;
    float* ri = nullptr;
    float* ii = nullptr;
    float* ro = nullptr;
    float* io = nullptr;
    ~Impl() {
        if (plan) fftwf_destroy_plan(plan);
        fftwf_free(ri); // one block holds all four vectors
    }
};

ComplexFFT::ComplexFFT(std::int32_t n) : m_n(n), m_impl(std::make_unique<Impl>()) {
    if (!IsPowerOfTwo(n) || n > 16384)
        throw OrvexError(ErrorKind::InvalidArgument, "FFTW transform size " + std::to_string(n) +
                                                         " is not a power of two up to 16384");
    // The four vectors share one block at fixed distances: FFTW keys its remembered plans
    // (wisdom) on the distances between the split parts, so every transform of a size after the
    // first is planned at once instead of being measured again.
    // Each vector starts on a 64-byte boundary, as the aligned vectors of the callers do.
    const auto count = (static_cast<std::size_t>(n) + 15) / 16 * 16;
    m_impl->ri = static_cast<float*>(fftwf_malloc(4 * sizeof(float) * count));
    if (!m_impl->ri)
        throw OrvexError(ErrorKind::InvalidArgument, "out of memory planning an FFTW transform");
    m_impl->ii = m_impl->ri + count;
    m_impl->ro = m_impl->ri + 2 * count;
    m_impl->io = m_impl->ri + 3 * count;
    fftwf_iodim dim{n, 1, 1};
    // The split-array interface takes real and imaginary parts as separate vectors, the layout
    // the receiver's spectra use, so no interleaving is needed.
    LoadWisdom();
    const auto t0 = std::chrono::steady_clock::now();
    m_impl->plan = fftwf_plan_guru_split_dft(1, &dim, 0, nullptr, m_impl->ri, m_impl->ii,
                                             m_impl->ro, m_impl->io, FFTW_MEASURE);
    // A plan that took measuring is worth remembering for the next start.
    if (m_impl->plan && std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(5))
        SaveWisdom();
    if (!m_impl->plan)
        throw OrvexError(ErrorKind::InvalidArgument,
                         "FFTW could not plan a transform of " + std::to_string(n) + " points");
}

ComplexFFT::~ComplexFFT() = default;

void ComplexFFT::execute(const float* reIn, const float* imIn, float* reOut, float* imOut) {
    // FFTW's new-array execution of a split plan needs the same distance between the real and
    // imaginary arrays as at planning time, which separately owned vectors cannot promise; the
    // plan therefore always runs on its own buffers.
    const auto bytes = sizeof(float) * static_cast<std::size_t>(m_n);
    std::memcpy(m_impl->ri, reIn, bytes);
    std::memcpy(m_impl->ii, imIn, bytes);
    fftwf_execute(m_impl->plan);
    std::memcpy(reOut, m_impl->ro, bytes);
    std::memcpy(imOut, m_impl->io, bytes);
}

bool Probe() {
    if (g_probed) return g_available;
    g_probed = true;
    try {
        const bool add = TrialAddInt16();
        const bool fft = add && TrialTransform();
        g_available = add && fft;
        g_description = g_available ? std::string("FFTW ") + fftwf_version + ", VOLK " +
                                          volk_version() + " (" + volk_get_machine() + ")"
                                    : std::string("optimised back end failed its trial call");
    } catch (const std::exception& e) {
        g_available = false;
        g_description = std::string("optimised back end unavailable: ") + e.what();
    }
    return g_available;
}

bool IsAvailable() {
    return g_available;
}
const char* Description() {
    return g_description.c_str();
}

void CopyInt16(const std::int16_t* src, std::int16_t* dst, std::int32_t n) {
    if (n > 0 && src != dst) std::memmove(dst, src, static_cast<std::size_t>(n) * 2);
}
void CopySingle(const float* src, float* dst, std::int32_t n) {
    if (n > 0 && src != dst) std::memmove(dst, src, static_cast<std::size_t>(n) * 4);
}
void ZeroInt16(std::int16_t* x, std::int32_t n) {
    if (n > 0) std::memset(x, 0, static_cast<std::size_t>(n) * 2);
}
void ZeroSingle(float* x, std::int32_t n) {
    if (n > 0) std::memset(x, 0, static_cast<std::size_t>(n) * 4);
}

void CartToPolar(const float* re, const float* im, float* mag, float* ph, std::int32_t n) {
    for (std::int32_t i = 0; i < n; i += kChunk) {
        const auto len = static_cast<unsigned>(n - i < kChunk ? n - i : kChunk);
        volk_32f_x2_interleave_32fc(g_interleaved, re + i, im + i, len);
        volk_32fc_magnitude_32f(mag + i, g_interleaved, len);
        volk_32fc_s32f_atan2_32f(ph + i, g_interleaved, 1.0f, len);
    }
}

void Scale(float c, float* x, std::int32_t n) {
    if (n > 0) volk_32f_s32f_multiply_32f(x, x, c, static_cast<unsigned>(n));
}
void MultiplyInPlace(const float* a, float* x, std::int32_t n) {
    if (n > 0) volk_32f_x2_multiply_32f(x, a, x, static_cast<unsigned>(n));
}
void Multiply(const float* a, const float* b, float* dst, std::int32_t n) {
    if (n > 0) volk_32f_x2_multiply_32f(dst, a, b, static_cast<unsigned>(n));
}
void AddInPlace(const float* a, float* x, std::int32_t n) {
    if (n > 0) volk_32f_x2_add_32f(x, x, a, static_cast<unsigned>(n));
}

float Peak(const float* x, std::int32_t n) {
    if (n <= 0) return 0.0f;
    std::uint32_t iMax = 0;
    std::uint32_t iMin = 0;
    volk_32f_index_max_32u(&iMax, x, static_cast<std::uint32_t>(n));
    volk_32f_index_min_32u(&iMin, x, static_cast<std::uint32_t>(n));
    const float a = std::fabs(x[iMax]);
    const float b = std::fabs(x[iMin]);
    return a > b ? a : b;
}

} // namespace orvex::spl
