// libFuzzer target: any bytes as an INI file and as a band plan. The reader and loader must
// never crash or index out of range, must keep every value in its range, and a plan saved and
// read back must settle: reading what a save wrote, saving and reading again changes nothing.
#include "bandplan/modBandPlan.h"
#include "bandplan/modIniFiles.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace orvex;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

MainBandInfo Load(const IniDocument& doc) {
    MainBandInfo band;
    band.Name = "Fuzz";
    InitBandPlan(band, 0);
    BandPlanReport report;
    LoadBandPlanFromDocument(band, doc, report);
    return band;
}

void CheckRanges(const MainBandInfo& band) {
    Check(band.SubBands.size() == 19u);
    Check(band.NumSubBands >= 0 && band.NumSubBands <= 18);
    Check(band.ActiveSubBand >= 0 && band.ActiveSubBand < 18);
    for (const auto& sub : band.SubBands) {
        Check(sub.Presets.size() == 13u);
        Check(sub.ActivePreset >= -1 && sub.ActivePreset < 12);
        Check(sub.Caption.size() <= 6 * 4);
        for (const auto& p : sub.Presets) {
            Check(p.DemodMode >= 0 && p.DemodMode <= 5);
            Check(p.FilterMode == -2 || (p.FilterMode >= 0 && p.FilterMode <= 4));
            Check(p.FilterHi >= -1 && p.FilterHi <= 24000);
            Check(p.AGCMode >= -1 && p.AGCMode <= 4);
            Check(p.AGCAttack >= -1.0f && p.AGCAttack <= 100.0f);
            Check(p.Caption.size() <= 7 * 4);
            Check(p.Description.size() < 2 * kProfileBufferSize); // Latin-1 bytes grow to two
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniDocument doc = IniDocument::Parse(text);
    (void)doc.get("MainBand", "Caption", "");
    (void)ProfileField(doc.get("SubBand.0", "Caption", "a,b,c"), size > 0 ? data[0] % 6 : 0);

    const MainBandInfo first = Load(doc);
    CheckRanges(first);

    SaveBandPlanToDocument(first, doc);
    const MainBandInfo second = Load(IniDocument::Parse(doc.text()));
    CheckRanges(second);
    IniDocument again = IniDocument::Parse(doc.text());
    SaveBandPlanToDocument(second, again);
    const MainBandInfo third = Load(IniDocument::Parse(again.text()));
    Check(third == second);
    return 0;
}
