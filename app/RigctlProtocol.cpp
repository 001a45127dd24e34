#include "app/RigctlProtocol.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace orvex::app {
namespace {

// Hamlib's mode bits (rmode_t) for the modes the receiver offers or accepts.
constexpr std::uint64_t kModeAm = 1ULL << 0;
constexpr std::uint64_t kModeUsb = 1ULL << 2;
constexpr std::uint64_t kModeLsb = 1ULL << 3;
constexpr std::uint64_t kModeFm = 1ULL << 5;
constexpr std::uint64_t kModeAms = 1ULL << 9;
constexpr std::uint64_t kModePktLsb = 1ULL << 10;
constexpr std::uint64_t kModePktUsb = 1ULL << 11;
constexpr std::uint64_t kModePktFm = 1ULL << 12;
constexpr std::uint64_t kModePktAm = 1ULL << 22;
constexpr std::uint64_t kAllModes = kModeAm | kModeUsb | kModeLsb | kModeFm | kModeAms |
                                    kModePktLsb | kModePktUsb | kModePktFm | kModePktAm;
constexpr std::uint64_t kSideband = kModeUsb | kModeLsb | kModePktUsb | kModePktLsb;
constexpr std::uint64_t kWide = kAllModes & ~kSideband;

// Hamlib's level bits (setting_t).
constexpr std::uint64_t kLevelAf = 1ULL << 3;
constexpr std::uint64_t kLevelStrength = 1ULL << 30;

// Hamlib's VFO bit for VFO A, the receiver's only VFO.
constexpr unsigned kVfoA = 0x1;

// Token, CurrentDemodMode. The first six are the names the receiver answers with, in the
// order of CurrentDemodMode; the rest are accepted when set.
struct ModeName {
    const char* token;
    std::int32_t mode;
};
constexpr std::array<ModeName, 11> kModeNames{{{"AM", 0},
                                               {"USB", 1},
                                               {"LSB", 2},
                                               {"PKTAM", 3},
                                               {"FM", 4},
                                               {"AMS", 5},
                                               {"PKTUSB", 1},
                                               {"PKTLSB", 2},
                                               {"PKTFM", 4},
                                               {"AM-D", 3},
                                               {"FM-D", 4}}};
// "M ?": every token set_mode accepts, in Hamlib's bit order.
constexpr const char* kModeList = "AM USB LSB FM AMS PKTLSB PKTUSB PKTFM PKTAM";

// VFO tokens a Hamlib 4 client may put before a command's arguments.
constexpr std::array<const char*, 17> kVfoTokens{
    "VFOA", "VFOB",  "VFOC",  "currVFO", "VFO",  "MEM",  "Main", "Sub", "TX",
    "RX",   "MainA", "MainB", "MainC",   "SubA", "SubB", "SubC", "None"};
// The ones that name the receiver's single VFO.
constexpr std::array<const char*, 6> kOwnVfo{"VFOA", "currVFO", "VFO", "Main", "MainA", "RX"};

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

template <std::size_t N>
bool OneOf(std::string_view token, const std::array<const char*, N>& list) {
    for (const char* t : list)
        if (token == t) return true;
    return false;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::vector<std::string_view> SplitArgs(std::string_view text) {
    std::vector<std::string_view> args;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsSpace(text[i]))
            ++i;
        if (i > start) args.push_back(text.substr(start, i - start));
    }
    return args;
}

// A whole token as a finite number; a leading '+' is allowed.
std::optional<double> ParseNumber(std::string_view token) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || ec != std::errc() || end != token.data() + token.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view token) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || ec != std::errc() || end != token.data() + token.size())
        return std::nullopt;
    return value;
}

// Numbers are formatted without the C library's locale: a program that has set a locale
// with a decimal comma must still send "0.500000".
std::string IntText(std::int64_t value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FixedText(double value, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

std::string HexText(std::uint64_t value) {
    char buf[24] = "0x";
    const auto r = std::to_chars(buf + 2, buf + sizeof buf, value, 16);
    return std::string(buf, r.ptr);
}

// The records of one answer: values with their key for the extended response (an empty key
// for raw lines such as lists and \dump_state), and the return code.
struct Result {
    std::vector<std::pair<const char*, std::string>> values;
    RigctlCode code = RigctlCode::Ok;
    bool close = false;

    void value(const char* key, std::string text) { values.emplace_back(key, std::move(text)); }
    Result& fail(RigctlCode c) {
        code = c;
        return *this;
    }
};

using Args = std::vector<std::string_view>;
using Handler = void (*)(RigControl&, RigctlState&, const Args&, Result&);

struct Command {
    unsigned char shortName; // 0: long name only
    const char* longName;
    bool set;      // answers "RPRT x" also on success
    bool takesVfo; // a leading VFO token is accepted and ignored
    Handler run;
};

void SetFreq(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    const auto hz = a.size() == 1 ? ParseNumber(a[0]) : std::nullopt;
    if (!hz || !rig.setFrequencyHz(*hz)) r.fail(RigctlCode::Invalid);
}

void GetFreq(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("Frequency", IntText(std::llround(rig.FrequencyHz())));
}

void SetMode(RigControl& rig, RigctlState& state, const Args& a, Result& r) {
    if (a.size() == 1 && a[0] == "?") return r.value("", kModeList);
    if (a.empty() || a.size() > 2) return void(r.fail(RigctlCode::Invalid));
    const auto mode = DemodModeOfHamlibName(a[0]);
    // Passband in Hz: 0 (the client's "normal") and -1 ("no change") keep the filter edges.
    const auto passband = a.size() == 2 ? ParseInteger(a[1]) : std::optional<std::int64_t>(0);
    if (!mode || !passband || *passband < -1 || *passband > 100000)
        return void(r.fail(RigctlCode::Invalid));
    if (state.modeLocked) return; // accepted, as rigctld does, but the mode stays
    if (rig.DemodMode() != *mode) rig.setDemodMode(*mode);
    if (*passband > 0 && *passband != rig.PassbandHz() &&
        !rig.setPassbandHz(static_cast<std::int32_t>(*passband)))
        r.fail(RigctlCode::Invalid);
}

void GetMode(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("Mode", HamlibModeName(rig.DemodMode()));
    r.value("Passband", IntText(rig.PassbandHz()));
}

void SetVfo(RigControl&, RigctlState&, const Args& a, Result& r) {
    if (a.size() != 1 || !OneOf(a[0], kVfoTokens)) return void(r.fail(RigctlCode::Invalid));
    if (!OneOf(a[0], kOwnVfo)) r.fail(RigctlCode::NotAvailable);
}

void GetVfo(RigControl&, RigctlState&, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("VFO", "VFOA");
}

void SetLevel(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    if (a.size() == 1 && a[0] == "?") return r.value("", "AF");
    if (a.size() != 2 || !EqualNoCase(a[0], "AF")) return void(r.fail(RigctlCode::Invalid));
    const auto level = ParseNumber(a[1]);
    if (!level || *level < 0.0 || *level > 1.0) return void(r.fail(RigctlCode::Invalid));
    rig.setAfLevel(*level);
}

void GetLevel(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    if (a.size() != 1) return void(r.fail(RigctlCode::Invalid));
    if (a[0] == "?") return r.value("", "AF STRENGTH");
    if (EqualNoCase(a[0], "AF")) return r.value("Level Value", FixedText(rig.AfLevel(), 6));
    if (EqualNoCase(a[0], "STRENGTH")) {
        const double db = rig.StrengthDbOverS9();
        return r.value("Level Value", IntText(std::isfinite(db) ? std::llround(db) : -54));
    }
    r.fail(RigctlCode::Invalid);
}

void SetPtt(RigControl&, RigctlState&, const Args& a, Result& r) {
    const auto ptt = a.size() == 1 ? ParseInteger(a[0]) : std::nullopt;
    if (!ptt || *ptt < 0 || *ptt > 3) return void(r.fail(RigctlCode::Invalid));
    if (*ptt != 0) r.fail(RigctlCode::NotAvailable); // a receiver never transmits
}

void GetPtt(RigControl&, RigctlState&, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("PTT", "0");
}

void SetSplit(RigControl&, RigctlState&, const Args& a, Result& r) {
    const auto split = a.size() == 2 ? ParseInteger(a[0]) : std::nullopt;
    if (!split || (*split != 0 && *split != 1) || !OneOf(a[1], kVfoTokens))
        return void(r.fail(RigctlCode::Invalid));
    if (*split != 0) r.fail(RigctlCode::NotAvailable);
}

void GetSplit(RigControl&, RigctlState&, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("Split", "0");
    r.value("TX VFO", "VFOA");
}

void SetPowerstat(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    // 0 off, 1 on, 2 standby (taken as off: the receiver stops, the server stays).
    const auto state = a.size() == 1 ? ParseInteger(a[0]) : std::nullopt;
    if (!state || *state < 0 || *state > 2) return void(r.fail(RigctlCode::Invalid));
    if (!rig.setPowerOn(*state == 1)) r.fail(RigctlCode::IOError);
}

void GetPowerstat(RigControl& rig, RigctlState&, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("Power Status", rig.PowerOn() ? "1" : "0");
}

void CheckVfo(RigControl&, RigctlState&, const Args&, Result& r) {
    r.value("ChkVFO", "0"); // no VFO mode: commands need no VFO argument
}

void DumpState(RigControl& rig, RigctlState&, const Args&, Result& r) {
    const std::string dump = RigctlDumpState(rig);
    std::size_t start = 0;
    while (start < dump.size()) {
        const std::size_t end = dump.find('\n', start);
        r.value("", dump.substr(start, end - start));
        start = end + 1;
    }
}

void SetLockMode(RigControl&, RigctlState& state, const Args& a, Result& r) {
    const auto locked = a.size() == 1 ? ParseInteger(a[0]) : std::nullopt;
    if (!locked || (*locked != 0 && *locked != 1)) return void(r.fail(RigctlCode::Invalid));
    state.modeLocked = *locked == 1;
}

void GetLockMode(RigControl&, RigctlState& state, const Args& a, Result& r) {
    if (!a.empty()) return void(r.fail(RigctlCode::Invalid));
    r.value("Locked", state.modeLocked ? "1" : "0");
}

void GetInfo(RigControl&, RigctlState&, const Args&, Result& r) {
    r.value("Info", "OrvexSDR Brisko receiver");
}

void Quit(RigControl&, RigctlState&, const Args&, Result& r) {
    r.close = true;
}

constexpr std::array<Command, 22> kCommands{{
    {'F', "set_freq", true, true, &SetFreq},
    {'f', "get_freq", false, true, &GetFreq},
    {'M', "set_mode", true, true, &SetMode},
    {'m', "get_mode", false, true, &GetMode},
    {'V', "set_vfo", true, false, &SetVfo},
    {'v', "get_vfo", false, true, &GetVfo},
    {'L', "set_level", true, true, &SetLevel},
    {'l', "get_level", false, true, &GetLevel},
    {'T', "set_ptt", true, true, &SetPtt},
    {'t', "get_ptt", false, true, &GetPtt},
    {'S', "set_split_vfo", true, true, &SetSplit},
    {'s', "get_split_vfo", false, true, &GetSplit},
    {0x87, "set_powerstat", true, false, &SetPowerstat},
    {0x88, "get_powerstat", false, false, &GetPowerstat},
    {0, "chk_vfo", false, false, &CheckVfo},
    {0, "dump_state", false, false, &DumpState},
    {0, "set_lock_mode", true, false, &SetLockMode},
    {0, "get_lock_mode", false, false, &GetLockMode},
    {'_', "get_info", false, false, &GetInfo},
    {'q', "quit", false, false, &Quit},
    {'Q', "quit", false, false, &Quit},
    {0, "exit", false, false, &Quit},
}};

const Command* FindCommand(std::string_view word, bool longName) {
    for (const auto& c : kCommands) {
        if (longName ? word == c.longName
                     : (word.size() == 1 && c.shortName != 0 &&
                        static_cast<unsigned char>(word[0]) == c.shortName))
            return &c;
    }
    return nullptr;
}

} // namespace

const char* HamlibModeName(std::int32_t demodMode) {
    return demodMode >= 0 && demodMode <= 5 ? kModeNames[static_cast<std::size_t>(demodMode)].token
                                            : "AM";
}

std::optional<std::int32_t> DemodModeOfHamlibName(std::string_view token) {
    for (const auto& m : kModeNames)
        if (EqualNoCase(token, m.token)) return m.mode;
    return std::nullopt;
}

std::string RigctlDumpState(const RigControl& rig) {
    std::string s;
    auto line = [&s](const std::string& text) {
        s += text;
        s += '\n';
    };
    line("1"); // protocol version
    line("2"); // rig model: NET rigctl
    line("1"); // ITU region
    // Receive range: start, end, modes, low and high power (none), VFO, antenna.
    line(FixedText(std::max(0.0, rig.MinFrequencyHz()), 0) + " " +
         FixedText(std::max(0.0, rig.MaxFrequencyHz()), 0) + " " + HexText(kAllModes) + " -1 -1 " +
         HexText(kVfoA) + " 0x1");
    line("0 0 0 0 0 0 0");           // end of receive ranges
    line("0 0 0 0 0 0 0");           // no transmit range
    line(HexText(kAllModes) + " 1"); // tuning step: 1 Hz in every mode
    line("0 0");
    // Filters: the first entry of a mode is its normal width, then narrower and wider ones
    // (the front panel's presets: 5.0, 3.2, 2.4 kHz and 400 Hz).
    line(HexText(kSideband) + " 2700");
    line(HexText(kWide) + " 4950");
    line(HexText(kAllModes) + " 2000");
    line(HexText(kAllModes) + " 400");
    line(HexText(kSideband) + " 3760");
    line("0 0");
    line("0");                                // max RIT
    line("0");                                // max XIT
    line("0");                                // max IF shift
    line("0");                                // announcements
    line("");                                 // preamplifiers: none
    line("");                                 // attenuators: none
    line("0x0");                              // get functions
    line("0x0");                              // set functions
    line(HexText(kLevelAf | kLevelStrength)); // get levels
    line(HexText(kLevelAf));                  // set levels
    line("0x0");                              // get parameters
    line("0x0");                              // set parameters
    line("vfo_ops=0x0");
    line("ptt_type=0x0"); // no PTT
    line("targetable_vfo=0x0");
    line("has_set_vfo=0");
    line("has_get_vfo=1");
    line("has_set_freq=1");
    line("has_get_freq=1");
    line("has_set_conf=0");
    line("has_get_conf=0");
    line("has_power2mW=0");
    line("has_mW2power=0");
    line("timeout=1000");
    line("done");
    return s;
}

RigctlAnswer AnswerRigctlLine(RigControl& rig, RigctlState& state, std::string_view line) {
    while (!line.empty() && IsSpace(line.back()))
        line.remove_suffix(1);
    while (!line.empty() && IsSpace(line.front()))
        line.remove_prefix(1);
    RigctlAnswer answer;
    if (line.empty() || line.front() == '#') return answer;

    // Extended response: '+' gives one record a line, ';', '|', ',' (any punctuation but
    // '\', '?', '_' and '#') one line with that separator.
    bool extended = false;
    char separator = '\n';
    const char first = line.front();
    if (std::strchr("!\"$%&'()*+,-./:;<=>@[]^`{|}~", first) != nullptr) {
        extended = true;
        separator = first == '+' ? '\n' : first;
        line.remove_prefix(1);
    }

    std::string_view word, rest;
    if (!line.empty() && line.front() == '\\') {
        const std::size_t end = std::min(line.find_first_of(" \t"), line.size());
        word = line.substr(1, end - 1);
        rest = line.substr(end);
    } else {
        word = line.substr(0, std::min<std::size_t>(1, line.size()));
        rest = line.substr(word.size());
    }
    const Command* command = FindCommand(word, !line.empty() && line.front() == '\\');
    Args args = SplitArgs(rest);

    Result result;
    if (!command) {
        result.fail(RigctlCode::NotImplemented);
    } else {
        if (command->takesVfo && !args.empty() && OneOf(args[0], kVfoTokens))
            args.erase(args.begin());
        command->run(rig, state, args, result);
    }
    answer.close = result.close;
    if (result.close) return answer;

    std::string& out = answer.text;
    const std::string rprt = "RPRT " + IntText(static_cast<int>(result.code)) + "\n";
    if (extended) {
        out += command ? command->longName : std::string(word);
        out += ':';
        for (const auto& a : args) {
            out += ' ';
            out += a;
        }
        out += separator;
        if (result.code == RigctlCode::Ok)
            for (const auto& [key, value] : result.values) {
                if (key[0] != '\0') {
                    out += key;
                    out += ": ";
                }
                out += value;
                out += separator;
            }
        out += rprt;
        return answer;
    }
    if (result.code != RigctlCode::Ok) {
        out = rprt;
        return answer;
    }
    for (const auto& v : result.values) {
        out += v.second;
        out += '\n';
    }
    if (command->set) out += rprt;
    return answer;
}

} // namespace orvex::app
