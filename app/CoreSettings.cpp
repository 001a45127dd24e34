// The main window's keys in section "frmMain": restored once during start-up, saved once at
// shutdown, in the order the keys are listed. Each key goes to the area that owns its value. A
// key that is absent keeps the value in force (or the listed default); a text that cannot be
// converted, or a value outside what its control can take, leaves the item as it was.
#include "ReceiverCore.h"
#include "audio/OrvexDX8.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"
#include "radio/ad9951.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace orvex::app {
namespace {

constexpr const char* kSection = "frmMain";

std::string IFKey(std::size_t n, const char* edge) {
    return "IFFilterSettings(" + std::to_string(n) + ")." + edge;
}

std::string AGCKey(std::size_t n, const char* time) {
    return "AGCModes(" + std::to_string(n) + ")." + time;
}

// Int() of a stored figure, or nullopt when it does not fit the 64-bit range.
std::optional<std::int64_t> IntPart(double x) {
    if (!std::isfinite(x) || x >= 9.2e18 || x <= -9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(std::floor(x));
}

} // namespace

void ReceiverCore::RestoreSettings() {
    log("RestoreSettings : Start");
    ReceiveChain& chain = m_session.chain();
    auto& s = chain.State();
    auto text = [&](const char* key, const std::string& fallback) {
        return m_store.get(kSection, key, fallback);
    };
    auto readBool = [&](const char* key, bool current) {
        return ParseBool(text(key, BoolText(current)));
    };
    auto readInt = [&](const char* key, std::int32_t current, std::int32_t lo, std::int32_t hi) {
        auto v = ParseInt32(text(key, IntText(current)));
        return (v && *v >= lo && *v <= hi) ? v : std::nullopt;
    };
    auto readNumber = [&](const char* key, double current, double lo, double hi) {
        auto v = ParseNumber(text(key, SingleText(static_cast<float>(current))));
        return (v && std::isfinite(*v) && *v >= lo && *v <= hi) ? v : std::nullopt;
    };
    // A label takes any value its control could have shown: its range, its start value and
    // the value it holds now.
    auto readLabel = [&](const char* key, ChainLabel which) {
        const ValueLabel& l = chain.Label(which);
        const double lo = std::min({l.Min, l.Default, l.Value});
        const double hi = std::max({l.Max, l.Default, l.Value});
        if (auto v = readNumber(key, l.Value, lo, hi))
            chain.SetLabel(which, static_cast<float>(*v));
    };
    const double agcMaxDelay = kAGCHistoryCapacity / kBlocksPerSecond;

    if (auto v = readBool("AGCON", s.AGCON)) {
        s.AGCON = *v;
        if (*v) chain.SetCheck(ChainCheck::AGC, true);
    }
    if (auto v = readInt("AGCMode", s.AGCMode, 0, 4)) {
        s.AGCMode = *v;
        chain.optAGC_Click(*v);
        chain.chkAGC_Click();
    }
    if (auto v = readNumber("AGCDelayTime", s.AGCDelayTime, 0.0, agcMaxDelay))
        s.AGCDelayTime = static_cast<float>(*v);
    if (auto v = readInt("AGCSmoothTime", s.AGCSmoothTime, 0, 1000)) s.AGCSmoothTime = *v;
    readLabel("AGCAttack", ChainLabel::AGCDecay); // the ramp entry, attack in ms x 10
    readLabel("AGCDecay", ChainLabel::AGCAttack); // the delay entry, decay in s x 10
    if (auto v = readInt("CurrentMainBandIndex", m_bands.restoredBandIndex(), 0, 1000000))
        m_bands.setRestoredBandIndex(*v);
    if (auto v = readInt("CurrentDemodMode", 0, 0, 5)) s.CurrentDemodMode = *v;
    if (auto v = readInt("CurrentFilterMode", 0, -2, 4); v && *v != -1) s.CurrentFilterMode = *v;
    if (auto v = readNumber("OutputAttenuation", s.OutputAttenuation, -10000.0, 9.0))
        s.OutputAttenuation = static_cast<float>(*v);
    if (auto v = ParseNumber(text("NoiseFloor", "1000000")); v && std::isfinite(*v) && *v >= 0)
        s.MeterReference = *v / 100000.0;
    if (auto v = ParseInt32(text("MusicMode", "0")); v && *v >= 0 && *v <= 1) {
        // Music mode keeps the low edge it replaces, to give it back when it is cleared: that is
        // the low edge of the restored preset, not the start-up default.
        if (*v == 1 && s.CurrentFilterMode >= 0 &&
            s.CurrentFilterMode < static_cast<std::int32_t>(s.FilterPresets.size()))
            s.FilterLo = s.FilterPresets[static_cast<std::size_t>(s.CurrentFilterMode)].CurrentLo;
        chain.SetCheck(ChainCheck::Music, *v == 1);
    }
    const char* sizeKeys[] = {"ExtendedDisplay", "StandardDisplay", "CompactDisplay",
                              "FullDisplay"};
    for (std::int32_t i = 0; i < 4; ++i)
        if (auto v = ParseBool(text(sizeKeys[i], "FALSE"))) m_window.restoreDisplaySize(i, *v);
    if (auto v = ParseInt32(text("SpectrumAnalyserOn", "0")); v && *v >= 0 && *v <= 1)
        m_spectrum.setAnalyserOn(*v == 1);
    if (auto v = ParseInt32(text("PerfStatsOn", "0")); v && *v >= 0 && *v <= 1)
        chain.SetCheck(ChainCheck::PerfStats, *v == 1);
    if (spl::IsAvailable())
        if (auto v = ParseBool(text("UseSPL", "False"))) vec::SetUseSPL(*v);
    if (auto v = ParseNumber(text("LastTunedFrequency", "0")); v && *v >= 0 && *v < 4.0e9)
        m_tuning.setLastTunedFrequency(*v == 0 ? m_session.vfo().TunedFreq() : *v / 1000000.0);
    readLabel("OutputVolume", ChainLabel::OutVol);
    if (auto v = ParseBool(text("ShaftAutoRate", "False"))) m_tuning.setShaftAutoRate(*v);
    if (auto v = ParseBool(text("EnableShaftEncoder", "False"))) m_tuning.setEnableShaftEncoder(*v);
    if (auto v = ParseBool(text("ScrollWheelEnableOverScope", "False")))
        m_spectrum.setWheelOverScope(*v);
    readLabel("FilterHi", ChainLabel::FilterHi);
    readLabel("FilterLo", ChainLabel::FilterLo);
    OrvexDX8& card = m_session.soundCard();
    if (auto v = ParseInt32(text("CurrentPlaybackDevice", "1")); v && *v >= 1)
        card.setCurrentPlaybackDevice(*v);
    if (auto v = ParseInt32(text("CurrentCaptureDevice", "1")); v && *v >= 1)
        card.setCurrentCaptureDevice(*v);
    if (auto v = ParseBool(text("AutoDDSRefresh", "False"))) m_tuning.setAutoDDSRefresh(*v);
    // The centre label takes the range of either notch type (audio 0..6000, IF -6000..6000).
    const auto notchCentre = readNumber("NotchCentre", 1000.0, -6000.0, 6000.0);
    if (notchCentre) chain.SetLabel(ChainLabel::NotchC, static_cast<float>(*notchCentre));
    readLabel("NotchWidth", ChainLabel::NotchW);
    if (auto v = readInt("NotchType", 0, 0, 1)) {
        s.NotchType = *v;
        // Start-up switches the label to this type's range and remembered centre, which is
        // then the restored centre (otherwise an IF notch would come back at 1000 Hz).
        if (notchCentre)
            s.NotchRanges[static_cast<std::size_t>(*v)].Centre = static_cast<float>(*notchCentre);
    }
    if (auto v = readInt("NotchMode", 0, 0, 1)) s.NotchMode = *v;
    if (auto v = ParseBool(text("NotchActive", "False"))) s.NotchActive = *v;
    if (auto v = readBool("IFFilterActive", s.IFFilterActive)) s.IFFilterActive = *v;
    if (auto v = readInt("CurrentIFFilterMode", s.CurrentIFFilterMode, 0, 2))
        s.CurrentIFFilterMode = *v;
    for (std::size_t n = 0; n < s.IFFilterSettings.size(); ++n) {
        auto& setting = s.IFFilterSettings[n];
        if (auto v = readInt(IFKey(n, "CurrentHi").c_str(), setting.CurrentHi, 0, 6000))
            setting.CurrentHi = *v;
        if (auto v = readInt(IFKey(n, "CurrentLo").c_str(), setting.CurrentLo, 0, 6000))
            setting.CurrentLo = *v;
    }
    // Beyond the keys above: the dynamic filter's switch and the times of every AGC selection
    // (the current one's are the labels above), so that each comes back as it was left.
    if (auto v = readBool("DynFilter", s.chkDynFilter.Value))
        chain.SetCheck(ChainCheck::DynFilter, *v);
    for (std::size_t n = 0; n < s.AGCModes.size(); ++n) {
        AGCModeRecord& m = s.AGCModes[n];
        const ValueLabel& delay = s.lblAGCAttack;
        const ValueLabel& ramp = s.lblAGCDecay;
        if (auto v = readInt(AGCKey(n, "CurrentDelay").c_str(), m.CurrentDelay,
                             static_cast<std::int32_t>(std::min(0.0f, delay.Min)),
                             static_cast<std::int32_t>(delay.Max)))
            m.CurrentDelay = *v;
        if (auto v = readInt(AGCKey(n, "CurrentRamp").c_str(), m.CurrentRamp,
                             static_cast<std::int32_t>(std::min(0.0f, ramp.Min)),
                             static_cast<std::int32_t>(ramp.Max)))
            m.CurrentRamp = *v;
    }
    if (auto v = readBool("RecordIF", m_record.view().RecordIF)) m_record.setRecordIF(*v);
    log("RestoreSettings : End");
}

void ReceiverCore::SaveSettings() {
    ReceiveChain& chain = m_session.chain();
    const auto& s = chain.State();
    auto put = [&](const std::string& key, const std::string& value) {
        m_store.save(kSection, key, value);
    };
    put("AGCON", BoolText(s.AGCON));
    put("AGCMode", IntText(s.AGCMode));
    put("AGCAttack", SingleText(s.lblAGCDecay.Value));
    put("AGCDecay", SingleText(s.lblAGCAttack.Value));
    put("OutputAttenuation", SingleText(s.OutputAttenuation));
    put("CurrentMainBandIndex", IntText(m_bands.model().CurrentMainBandIndex));
    put("CurrentFilterMode", IntText(s.CurrentFilterMode));
    put("CurrentDemodMode", IntText(s.CurrentDemodMode));
    if (auto floor = IntPart(s.MeterReference * 100000.0)) put("NoiseFloor", IntText(*floor));
    put("MusicMode", IntText(s.chkMusic.Value ? 1 : 0));
    const char* sizeKeys[] = {"ExtendedDisplay", "StandardDisplay", "CompactDisplay",
                              "FullDisplay"};
    for (std::size_t i = 0; i < 4; ++i)
        put(sizeKeys[i], BoolText(m_window.view().optDisplaySize[i]));
    put("SpectrumAnalyserOn", IntText(m_spectrum.analyserOn() ? 1 : 0));
    put("PerfStatsOn", IntText(s.chkPerfStatsOn.Value ? 1 : 0));
    put("UseSPL", BoolText(vec::UseSPL()));
    put("AGCDelayTime", SingleText(s.AGCDelayTime));
    put("AGCSmoothTime", IntText(s.AGCSmoothTime));
    if (auto hz = IntPart(m_session.vfo().TunedFreq() * 1000000.0 + 0.5))
        put("LastTunedFrequency", IntText(*hz));
    put("OutputVolume", SingleText(s.lblOutVol.Value));
    put("ShaftAutoRate", BoolText(m_tuning.shaftAutoRate()));
    put("EnableShaftEncoder", BoolText(m_tuning.enableShaftEncoder()));
    put("ScrollWheelEnableOverScope", BoolText(m_spectrum.wheelOverScope()));
    put("FilterHi", SingleText(s.lblFilterHi.Value));
    put("FilterLo", SingleText(s.lblFilterLo.Value));
    put("NotchType", IntText(s.NotchType));
    put("NotchCentre", SingleText(s.lblNotchC.Value));
    put("NotchWidth", SingleText(s.lblNotchW.Value));
    put("NotchMode", IntText(s.NotchMode));
    put("NotchActive", BoolText(s.NotchActive));
    put("NBOn", BoolText(s.chkNB.Value));
    put("NB", SingleText(s.lblNB.Value));
    const OrvexDX8& card = m_session.soundCard();
    put("CurrentPlaybackDevice", IntText(card.CurrentPlaybackDevice()));
    put("CurrentCaptureDevice", IntText(card.CurrentCaptureDevice()));
    put("AutoDDSRefresh", BoolText(m_tuning.autoDDSRefresh()));
    put("IFFilterActive", BoolText(s.IFFilterActive));
    put("CurrentIFFilterMode", IntText(s.CurrentIFFilterMode));
    for (std::size_t n = 0; n < s.IFFilterSettings.size(); ++n) {
        put(IFKey(n, "CurrentHi"), IntText(s.IFFilterSettings[n].CurrentHi));
        put(IFKey(n, "CurrentLo"), IntText(s.IFFilterSettings[n].CurrentLo));
    }
    put("DynFilter", BoolText(s.chkDynFilter.Value));
    for (std::size_t n = 0; n < s.AGCModes.size(); ++n) {
        put(AGCKey(n, "CurrentDelay"), IntText(s.AGCModes[n].CurrentDelay));
        put(AGCKey(n, "CurrentRamp"), IntText(s.AGCModes[n].CurrentRamp));
    }
    put("RecordIF", BoolText(m_record.view().RecordIF));
}

} // namespace orvex::app
