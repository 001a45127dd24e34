// Recorded programmes: a WAV file a scene puts on the air (audio=wav:PATH), so a recording of
// FT8, RTTY or speech becomes a station at any frequency, level and mode.
//
// Everything is done once, when the scene is loaded: the first channel is read (16-bit or
// 32-bit float, 8000 to 48000 samples per second), resampled to 48000 samples per second, and
// turned into its analytic form a + j·â (â its Hilbert transform), the form every modulator
// of the IF synthesiser takes. While streaming, a recording is played like the built-in music
// and speech loops: no filter runs.
#pragma once

#include "TestAudio.h"

#include <memory>
#include <string>
#include <vector>

namespace orvex::sim {

/// Sample rates a recording may have, Hz.
inline constexpr int kMinRecordingRate = 8000;
inline constexpr int kMaxRecordingRate = 48000;
/// The longest recording a scene may name (10 minutes is 110 MB of analytic audio).
inline constexpr double kMaxRecordingSeconds = 600.0;

/// Reads `path` and makes its analytic audio at 48000 samples per second, peak magnitude 1
/// (a silent file stays silent). `loop`: the recording will be played round and round, so its
/// end joins its start without a click; otherwise it is taken as silent before and after.
/// Returns nullptr with `error` saying why (the file's problem, naming it) on failure.
std::shared_ptr<const AudioLoop> LoadRecording(const std::string& path, bool loop,
                                               std::string& error);

/// Band-limited interpolation (a Kaiser-windowed sinc, 64 taps) from `rate` (8000 to 48000)
/// to 48000 samples per second. `periodic`: `in` repeats (a loop); otherwise it is silent
/// outside its length.
std::vector<float> ResampleTo48k(const std::vector<float>& in, int rate, bool periodic);

/// The Hilbert transform of `x` at 48000 samples per second: a 2047-tap Kaiser-windowed
/// transformer by fast convolution, within 0.2 % of the ideal quadrature from 150 Hz to 12 kHz
/// (so the unwanted sideband of an SSB station lies more than 55 dB down). `periodic`: x
/// repeats (a loop); otherwise it is silent outside its length.
std::vector<float> HilbertTransform(const std::vector<float>& x, bool periodic);

} // namespace orvex::sim
