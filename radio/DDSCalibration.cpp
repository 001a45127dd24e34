#include "DDSCalibration.h"

#include "ad9951.h"
#include "core/Format.h"
#include "core/MessageSink.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"

#include <cstdlib>

namespace orvex {
namespace {

constexpr const char* kMHzPattern = "#0.000 000";

// The typed frequency in MHz. The dialog shows it grouped ("14.200 000"), so blanks inside
// the number are skipped; anything else that is not a number counts as 0.
double OfficialMHz(std::string_view text) {
    std::string compact;
    for (const char c : text)
        if (c != ' ' && c != '\t') compact += c;
    return ParseNumber(compact).value_or(0.0);
}

} // namespace

void DDSCalibration::Form_Load() {
    m_caption = std::string(kApplicationName) + " - Calibrate DDS CLKIN";
    m_oldClockHz = m_vfo.ClkIn() * 1000000.0;
    m_tunedHz = RoundHalfEven32(m_vfo.TunedFreq() * 1000000.0);
    m_ifHz = RoundHalfEven32(m_vfo.IFFreq() * 1000000.0);
    m_tuningWord = RoundHalfEven32(m_vfo.CurrentTuningWord());
    m_lblCurrentTunedFreq = FormatNumber(m_tunedHz / 1000000.0, kMHzPattern);
    m_lblDDSClkInCurrent = FormatNumber(m_oldClockHz / 1000000.0, kMHzPattern);
    txtOfficialFreq_Change(FormatNumber(m_tunedHz / 1000000.0, kMHzPattern));
}

void DDSCalibration::txtOfficialFreq_Change(std::string_view text) {
    m_txtOfficialFreq = std::string(text);
    m_officialHz = RoundHalfEven32(OfficialMHz(text) * 1000000.0);
    if (m_officialHz == 0) {
        ShowMessage("Official Frequency must not be ZERO");
        return;
    }
    // The oscillator frequency the official frequency needs, in Hz. The synthesiser makes
    // |tuned + IF| (a low-side IF is negative), so the magnitude is what the word produced.
    std::int64_t f = m_vfo.TuneImage() ? std::int64_t{m_officialHz} - m_ifHz
                                       : std::int64_t{m_officialHz} + m_ifHz;
    f = std::llabs(f);
    // No word (0) or the all-ones word at the Nyquist limit: no clock can be derived.
    if (f == 0 || m_tuningWord <= 0) return;
    m_newClock = 4294967296.0 * static_cast<double>(f) / m_tuningWord / 1000000.0;
    m_lblDDSClkinNew = FormatNumber(m_newClock, kMHzPattern);
}

void DDSCalibration::cmdTry_Click() {
    if (m_newClock > 0.0) m_vfo.setClkIn(m_newClock);
}

void DDSCalibration::cmdApply_Click() {
    if (m_newClock > 0.0) m_vfo.setClkIn(m_newClock);
    ApplyChanges = true;
    m_unloaded = true;
}

void DDSCalibration::cmdCancel_Click() {
    m_vfo.setClkIn(m_oldClockHz / 1000000.0);
    ApplyChanges = true;
    m_unloaded = true;
}

} // namespace orvex
