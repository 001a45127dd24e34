#include "ReceiveOptions.h"

#include "core/Error.h"
#include "core/Numeric.h"
#include "core/SettingsStore.h"
#include "dsp/ReceiveChain.h"
#include "dsp/SplBackend.h"
#include "dsp/VectorOps.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace orvex::cli {

const char* const kReceiveOptionsUsage =
    "  --mode M         am, usb, lsb, drm, fm or bc\n"
    "  --filter N       AF filter preset: 0 \"5.0 KHz\", 1 \"400 Hz\", 2 \"2.4 KHz\", 3 \"3.2 "
    "KHz\",\n"
    "                   4 \"4.0 KHz\" (default 0)\n"
    "  --filter-lo HZ   AF filter low edge, 0..1999; --filter-hi HZ high edge, 0..6000\n"
    "  --music          music mode (low edge 50 Hz)\n"
    "  --if-filter M    IF filter off (default), man (the band 12000 - LO to 12000 + HI Hz of\n"
    "                   --if-lo LO and --if-hi HI, 0..6000 each, used in AM and BC) or track\n"
    "                   (follows the AF filter)\n"
    "  --agc M          AGC off (default) or on with the fast, normal or slow times\n"
    "  --notch-af HZ    manual notch at an audio frequency, 0..6000\n"
    "  --notch-if HZ    manual notch at an offset from the IF centre, -6000..6000\n"
    "  --notch-width HZ notch width, 0..5000 (default 50)\n"
    "  --notch-auto     automatic notch on the strongest audio peak\n"
    "  --dyn-filter     dynamic AF filter on the strongest audio peak\n"
    "  --nr LEVEL       noise reducer on at LEVEL, 0..10000\n"
    "  --volume L       output level, -10000..8000 (default 0: unity)\n"
    "  --spl            use the optimised vector back end (FFTW/VOLK) when available\n";

namespace {
std::string FormatOptionNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}
} // namespace

[[noreturn]] void BadOption(const std::string& what) {
    throw OrvexError(ErrorKind::InvalidArgument, what);
}

std::string OptionValue(const Args& args, std::size_t& i) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) BadOption(option + " needs a value");
    const std::string& value = args[++i];
    if (value.empty()) BadOption(option + ": the value is empty");
    return value;
}

double OptionNumber(const std::string& option, const std::string& text, double lo, double hi) {
    const auto v = ParseNumber(text);
    if (!v) BadOption(option + ": '" + text + "' is not a number");
    if (!InRange(*v, lo, hi)) {
        char range[96];
        std::snprintf(range, sizeof range, " is out of range (%.10g to %.10g)", lo, hi);
        BadOption(option + ": " + text + range);
    }
    return *v;
}

std::int32_t OptionChoice(const std::string& option, const std::string& text,
                          const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (text == names[i]) return static_cast<std::int32_t>(i);
    std::string list;
    for (const auto& n : names) {
        if (!list.empty()) list += '|';
        list += n;
    }
    BadOption(option + ": '" + text + "' is not one of " + list);
}

bool ParseReceiveOption(const Args& args, std::size_t& i, ReceiveOptions& o) {
    static const std::map<std::string, bool> known = {
        {"--mode", true},        {"--filter", true},      {"--filter-lo", true},
        {"--filter-hi", true},   {"--music", false},      {"--if-filter", true},
        {"--if-lo", true},       {"--if-hi", true},       {"--agc", true},
        {"--notch-af", true},    {"--notch-if", true},    {"--notch-width", true},
        {"--notch-auto", false}, {"--dyn-filter", false}, {"--nr", true},
        {"--volume", true},      {"--spl", false}};
    const std::string& a = args[i];
    const auto it = known.find(a);
    if (it == known.end()) return false;
    std::string v;
    if (it->second) v = OptionValue(args, i);
    if (a == "--mode")
        o.mode = OptionChoice(a, v, {"am", "usb", "lsb", "drm", "fm", "bc"});
    else if (a == "--filter")
        o.filter = OptionChoice(a, v, {"0", "1", "2", "3", "4"});
    else if (a == "--filter-lo")
        o.filterLo = OptionNumber(a, v, 0, 1999);
    else if (a == "--filter-hi")
        o.filterHi = OptionNumber(a, v, 0, 6000);
    else if (a == "--music")
        o.music = true;
    else if (a == "--if-filter")
        o.ifFilter = OptionChoice(a, v, {"off", "man", "track"});
    else if (a == "--if-lo")
        o.ifLo = OptionNumber(a, v, 0, 6000);
    else if (a == "--if-hi")
        o.ifHi = OptionNumber(a, v, 0, 6000);
    else if (a == "--agc")
        o.agc = OptionChoice(a, v, {"off", "fast", "normal", "slow"});
    else if (a == "--notch-af")
        o.notchAf = OptionNumber(a, v, 0, 6000);
    else if (a == "--notch-if")
        o.notchIf = OptionNumber(a, v, -6000, 6000);
    else if (a == "--notch-width")
        o.notchWidth = OptionNumber(a, v, 0, 5000);
    else if (a == "--notch-auto")
        o.notchAuto = true;
    else if (a == "--dyn-filter")
        o.dynFilter = true;
    else if (a == "--nr")
        o.nr = OptionNumber(a, v, 0, 10000);
    else if (a == "--volume")
        o.volume = OptionNumber(a, v, -10000, 8000);
    else if (a == "--spl")
        o.spl = true;
    return true;
}

void CheckReceiveOptions(const ReceiveOptions& o) {
    if (o.notchAf && o.notchIf) BadOption("--notch-af and --notch-if exclude each other");
    // The manual IF band runs from 12000 - LO to 12000 + HI Hz: both 0 leaves no band at all.
    if (o.ifLo && o.ifHi && *o.ifLo + *o.ifHi < 1.0)
        BadOption("--if-lo " + FormatOptionNumber(*o.ifLo) + " and --if-hi " +
                  FormatOptionNumber(*o.ifHi) +
                  " leave no IF band (it runs from 12000 - LO to 12000 + HI Hz)");
    if (o.filterLo && o.filterHi && *o.filterLo >= *o.filterHi)
        BadOption("--filter-lo " + FormatOptionNumber(*o.filterLo) + " must be below --filter-hi " +
                  FormatOptionNumber(*o.filterHi));
}

void ApplyReceiveOptions(ReceiveChain& chain, const ReceiveOptions& o) {
    if (o.mode >= 0) chain.optMode_Click(o.mode);
    if (o.filter) chain.optFilter_Click(*o.filter);
    if (o.filterLo) chain.SetLabel(ChainLabel::FilterLo, static_cast<float>(*o.filterLo));
    if (o.filterHi) chain.SetLabel(ChainLabel::FilterHi, static_cast<float>(*o.filterHi));
    if (o.music) chain.SetCheck(ChainCheck::Music, true);
    if (o.ifFilter != 0) {
        chain.SetCheck(ChainCheck::IFFilter, true);
        chain.optIFFilter_Click(o.ifFilter);
    }
    if (o.ifLo) chain.SetLabel(ChainLabel::IFLo, static_cast<float>(*o.ifLo));
    if (o.ifHi) chain.SetLabel(ChainLabel::IFHi, static_cast<float>(*o.ifHi));
    if (o.dynFilter) chain.SetCheck(ChainCheck::DynFilter, true);
    if (o.notchAf || o.notchIf || o.notchAuto) {
        chain.SetCheck(ChainCheck::NotchOn, true);
        chain.SetCheck(ChainCheck::NotchType, o.notchIf.has_value());
        chain.optNotch_Click(o.notchAuto ? 1 : 0);
        if (o.notchAf) chain.SetLabel(ChainLabel::NotchC, static_cast<float>(*o.notchAf));
        if (o.notchIf) chain.SetLabel(ChainLabel::NotchC, static_cast<float>(*o.notchIf));
    }
    if (o.notchWidth) chain.SetLabel(ChainLabel::NotchW, static_cast<float>(*o.notchWidth));
    if (o.nr) {
        chain.SetCheck(ChainCheck::NB, true);
        chain.SetLabel(ChainLabel::NB, static_cast<float>(*o.nr));
    }
    if (o.agc != 0) {
        chain.SetCheck(ChainCheck::AGC, true);
        chain.optAGC_Click(o.agc);
    }
    if (o.volume) chain.SetLabel(ChainLabel::OutVol, static_cast<float>(*o.volume));
}

void SelectVectorBackEnd(const ReceiveOptions& o, const char* command) {
    // The probe (and with it the transform plans every filter then makes) only when asked for:
    // the portable back end needs no set-up.
    const bool available = o.spl && spl::Probe();
    if (o.spl && !available)
        std::fprintf(stderr,
                     "orvexsdr-cli %s: note: the optimised back end is not available (%s); using "
                     "the portable one\n",
                     command, spl::Description());
    vec::SetUseSPL(o.spl && available);
}

} // namespace orvex::cli
