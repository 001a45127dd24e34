#include "bandplan/PresetSelection.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

// Records what the preset code asks of the receiver, as the window would carry it out.
class FakeReceiver : public PresetTarget {
public:
    ReceiverSnapshot state;
    std::vector<std::string> calls;
    int filterMode = 0;
    int agc = 2;
    static constexpr int kDefaultHi[] = {5000, 600, 2300, 3000, 4000};
    static constexpr int kDefaultLo[] = {50, 200, 300, 300, 240};

    ReceiverSnapshot snapshot() const override { return state; }
    void selectDemodMode(std::int32_t m) override { log("mode", m); }
    void selectFilter(std::int32_t f) override {
        filterMode = f;
        log("filter", f);
    }
    std::int32_t defaultFilterHi() const override { return kDefaultHi[filterMode]; }
    std::int32_t defaultFilterLo() const override { return kDefaultLo[filterMode]; }
    void setFilterHi(std::int32_t hz) override { log("hi", hz); }
    void setFilterLo(std::int32_t hz) override { log("lo", hz); }
    std::int32_t agcMode() const override { return agc; }
    void setPresetAgcTimes(std::int32_t a, std::int32_t d) override { log("agc4", a, d); }
    void selectAgcMode(std::int32_t m) override {
        agc = m;
        log("agc", m);
    }
    void showPresetAgc(std::int32_t a, std::int32_t d) override { log("show", a, d); }
    void tune(double mhz) override { calls.push_back("tune " + std::to_string(mhz)); }
    void setImage(bool on) override { log("image", on ? 1 : 0); }
    void focusPreset(std::int32_t i) override { log("focus", i); }

private:
    void log(const char* what, int a) {
        calls.push_back(std::string(what) + " " + std::to_string(a));
    }
    void log(const char* what, int a, int b) {
        calls.push_back(std::string(what) + " " + std::to_string(a) + " " + std::to_string(b));
    }
};

PresetInfo UsedPreset(std::int32_t index, std::int32_t hz) {
    PresetInfo p;
    p.Index = index;
    p.FreqCurrent = hz;
    p.Description = "preset at " + std::to_string(hz);
    return p;
}

// One band of two sub-bands in use; sub-band 0 has presets 0 and 2 used.
BandPlanModel Model() {
    BandPlanModel model;
    MainBandInfo band;
    band.Name = "HF";
    InitBandPlan(band, 0);
    band.Caption = "Amateur HF";
    band.NumSubBands = 17;
    for (int s : {0, 1}) {
        band.SubBands[s].FreqMin = 1000000 * (s + 1);
        band.SubBands[s].InUse = true;
    }
    band.SubBands[0].Caption = "160m";
    band.SubBands[0].Presets[0] = UsedPreset(0, 1840000);
    band.SubBands[0].Presets[2] = UsedPreset(2, 1836000);
    band.SubBands[0].ActivePreset = 2;
    model.MainBands.push_back(band);
    return model;
}

} // namespace

TEST(PresetCaptions, EmptyAndUsedPresets) {
    EXPECT_EQ(PresetButton(PresetInfo{}, 4),
              (ButtonView{"P5", "Unused - Shift + Right Click to set", true}));
    EXPECT_EQ(PresetButton(UsedPreset(0, 7050999), 0), (ButtonView{"7050", "preset at 7050999"}));
}

TEST(StorePreset, TakesTheReceiverState) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ReceiverSnapshot s;
    s.demodMode = 2;
    s.filterMode = 3;
    s.filterHi = 2900;
    s.filterLo = 250;
    s.agcMode = 1;
    s.agcAttack = 25;
    s.agcDecay = 50;
    s.tunedFreqMHz = 7.0500004; // rounds to whole hertz
    s.tuneImage = true;
    PresetInfo p;
    StorePreset(p, s, 1709296496); // 2024-03-01 12:34:56 UTC
    EXPECT_EQ(p.FreqCurrent, 7050000);
    EXPECT_EQ(p.Caption, "7050");
    EXPECT_EQ(p.Description, "7,050,000 Hz");
    EXPECT_EQ(p.When, "2024-03-01 12:34:56");
    EXPECT_EQ(PresetButton(p, 0), (ButtonView{"7050", "7,050,000 Hz"}));
    EXPECT_EQ(p.DemodMode, 2);
    EXPECT_EQ(p.FilterMode, 3);
    EXPECT_EQ(p.FilterHi, 2900);
    EXPECT_EQ(p.FilterLo, 250);
    EXPECT_EQ(p.AGCMode, 1);
    EXPECT_EQ(p.AGCAttack, 25.0f);
    EXPECT_EQ(p.AGCDecay, 50.0f);
    EXPECT_TRUE(p.TuneImage);
}

TEST(ApplyPreset, SetsTheReceiverInOrder) {
    FakeReceiver rx;
    PresetPanelState state;
    PresetInfo p = UsedPreset(3, 14074000);
    p.DemodMode = 1;
    p.FilterMode = 2;
    p.FilterHi = -1; // not stored: the filter's default
    p.FilterLo = 150;
    p.AGCMode = 1;
    p.AGCAttack = 30.5f; // halves to even: 30
    p.AGCDecay = 61.5f;  // 62
    p.TuneImage = true;
    ASSERT_TRUE(ApplyPreset(p, state, rx));
    EXPECT_EQ(rx.calls, (std::vector<std::string>{"mode 1", "filter 2", "hi 2300", "lo 150",
                                                  "agc4 30 62", "agc 4", "show 30 62",
                                                  "tune 14.074000", "image 1", "focus 3"}));
    EXPECT_EQ(state.RememberedAgcMode, 2); // the user's selection before the preset

    // A second stored preset keeps the remembered selection; one without AGC restores it.
    ASSERT_TRUE(ApplyPreset(p, state, rx));
    EXPECT_EQ(state.RememberedAgcMode, 2);
    rx.calls.clear();
    p.AGCMode = -1;
    ASSERT_TRUE(ApplyPreset(p, state, rx));
    EXPECT_EQ(rx.calls[4], "agc 2");

    // Without a preset's selection in force the listener's AGC stays; with one (restored at
    // start-up) and nothing remembered, selection 1.
    rx.calls.clear();
    ASSERT_TRUE(ApplyPreset(p, state, rx));
    EXPECT_EQ(rx.calls[4], "tune 14.074000");
    PresetPanelState fresh;
    rx.agc = 4;
    rx.calls.clear();
    ASSERT_TRUE(ApplyPreset(p, fresh, rx));
    EXPECT_EQ(rx.calls[4], "agc 1");

    rx.calls.clear(); // an empty preset has nothing to tune to
    EXPECT_FALSE(ApplyPreset(PresetInfo{}, state, rx));
    EXPECT_TRUE(rx.calls.empty());
}

TEST(SelectMainBand, LabelsTheBandAndAppliesItsPreset) {
    BandPlanModel model = Model();
    FakeReceiver rx;
    PresetPanelState state;
    MainBandView view = SelectMainBand(model, 0, state, rx);
    ASSERT_TRUE(view.done);
    EXPECT_TRUE(model.MainBands[0].Active);
    EXPECT_EQ(view.frameCaption, "Amateur HF");
    ASSERT_EQ(view.subBands.size(), 17u); // buttons 0..16; button 17 stays hidden
    EXPECT_EQ(view.subBands[0], (ButtonView{"160m", "SubBand #1", true}));
    EXPECT_EQ(view.subBands[16], (ButtonView{"S17", "SubBand #17", false}));
    EXPECT_EQ(view.subBandList[0], "160m");
    ASSERT_EQ(view.presets.size(), 12u);
    EXPECT_EQ(view.presets[2].caption, "1836");
    EXPECT_EQ(view.presets[1].caption, "P2");
    EXPECT_EQ(view.selectedPreset, 2);
    EXPECT_TRUE(view.applied);
    EXPECT_EQ(rx.calls.back(), "focus 2");

    // A sub-band whose ActivePreset is -1 clears the preset buttons and applies nothing.
    model.MainBands[0].SubBands[0].ActivePreset = -1;
    rx.calls.clear();
    view = SelectMainBand(model, 0, state, rx);
    EXPECT_EQ(view.selectedPreset, -1);
    EXPECT_TRUE(rx.calls.empty());
    EXPECT_FALSE(SelectMainBand(model, 1, state, rx).done); // no such band
}

TEST(PressPreset, LeftRightAndShift) {
    BandPlanModel model = Model();
    FakeReceiver rx;
    PresetPanelState state;
    SubBandInfo& sub = model.MainBands[0].SubBands[0];

    PresetPressView v = PressPreset(model, 0, MouseButton::Left, {}, state, rx);
    EXPECT_EQ(v.applied, 0);
    EXPECT_EQ(state.LastPresetIndex, 0);
    EXPECT_TRUE(sub.Presets[0].Active);

    // An empty preset re-applies the last used one and keeps ActivePreset on it.
    rx.calls.clear();
    v = PressPreset(model, 5, MouseButton::Left, {}, state, rx);
    EXPECT_EQ(v.applied, 0);
    EXPECT_EQ(sub.ActivePreset, 0);
    EXPECT_EQ(rx.calls.back(), "focus 0");

    // Right button: the menu, with Edit only for a used preset.
    v = PressPreset(model, 5, MouseButton::Right, {false, true, false}, state, rx);
    EXPECT_TRUE(v.showMenu);
    EXPECT_FALSE(v.editEnabled);
    v = PressPreset(model, 0, MouseButton::Right, {true, true, false}, state, rx);
    EXPECT_TRUE(v.editEnabled); // Shift with Ctrl is not a store
    EXPECT_EQ(sub.Presets[0].FreqCurrent, 1840000);

    // Shift + right button stores the receiver state and applies it.
    rx.state.tunedFreqMHz = 1.9;
    rx.state.demodMode = 2;
    v = PressPreset(model, 5, MouseButton::Right, {true, false, false}, state, rx);
    EXPECT_TRUE(v.relabel);
    EXPECT_EQ(v.label, (ButtonView{"1900", "1,900,000 Hz"}));
    EXPECT_EQ(v.applied, 5);
    EXPECT_EQ(sub.Presets[5].DemodMode, 2);
    EXPECT_EQ(sub.ActivePreset, 5);
    EXPECT_FALSE(PressPreset(model, 12, MouseButton::Left, {}, state, rx).done); // no button 12
}

TEST(SelectSubBand, PressesItsActivePreset) {
    BandPlanModel model = Model();
    FakeReceiver rx;
    PresetPanelState state;
    model.MainBands[0].SubBands[0].Presets[7].Active = true; // stale flag on an empty preset
    SubBandView v = SelectSubBand(model, 0, state, rx);
    ASSERT_TRUE(v.done);
    EXPECT_EQ(model.MainBands[0].ActiveSubBand, 0);
    EXPECT_FALSE(model.MainBands[0].SubBands[0].Presets[7].Active);
    EXPECT_EQ(v.press.applied, 2);
    EXPECT_EQ(v.listIndex, 0);

    rx.calls.clear();
    v = SelectSubBand(model, 1, state, rx); // ActivePreset -1: no preset pressed
    EXPECT_FALSE(v.press.done);
    EXPECT_TRUE(rx.calls.empty());
    EXPECT_EQ(v.presets[0].caption, "P1");
    EXPECT_FALSE(SelectSubBand(model, 19, state, rx).done);
}

// A handler reached again from inside itself (the window's events run during a tune) returns.
TEST(PresetSelection, ReentryReturnsAtOnce) {
    struct Reentrant final : FakeReceiver {
        BandPlanModel* model = nullptr;
        PresetPanelState* state = nullptr;
        bool nested = false;
        void tune(double mhz) override {
            FakeReceiver::tune(mhz);
            nested = PressPreset(*model, 0, MouseButton::Left, {}, *state, *this).done ||
                     ApplyPreset(model->MainBands[0].SubBands[0].Presets[0], *state, *this);
        }
    };
    BandPlanModel model = Model();
    PresetPanelState state;
    Reentrant rx;
    rx.model = &model;
    rx.state = &state;
    ASSERT_TRUE(PressPreset(model, 0, MouseButton::Left, {}, state, rx).done);
    EXPECT_FALSE(rx.nested);
    EXPECT_FALSE(state.inPressPreset);
}

TEST(PresetEditor, SaveAndEditRecords) {
    PresetInfo preset = UsedPreset(4, 3690000);
    preset.Active = true;
    ReceiverSnapshot s;
    s.tunedFreqMHz = 3.6995;
    s.demodMode = 2;
    s.filterHi = 2700;
    s.filterLo = 350;
    s.agcMode = 3;
    s.agcAttack = 40.0f;
    s.agcDecay = 150.0f;
    PresetEditRequest save = BeginSaveToPreset(preset, s, 0);
    EXPECT_EQ(save.record.FilterHi, 2700); // the current settings, edges and AGC included
    EXPECT_EQ(save.record.FilterLo, 350);
    EXPECT_EQ(save.record.AGCMode, 3);
    EXPECT_EQ(save.record.AGCAttack, 40.0f);
    EXPECT_EQ(save.record.AGCDecay, 150.0f);
    EXPECT_EQ(save.title, "Save Current Settings to Preset 4");
    EXPECT_EQ(save.button, "&Save");
    EXPECT_FALSE(save.record.Active);
    EXPECT_EQ(save.record.FreqCurrent, 3699500);
    EXPECT_EQ(FinishPresetEdit(preset, save.record, true).caption, "3700"); // nearest kHz
    EXPECT_EQ(preset.FreqCurrent, 3699500);

    PresetEditRequest edit = BeginEditPreset(preset);
    EXPECT_EQ(edit.title, "Edit Preset 4");
    EXPECT_EQ(edit.button, "&Update");
    EXPECT_TRUE(edit.record.Active);
    edit.record.Description = "SSB QRP";
    EXPECT_EQ(FinishPresetEdit(preset, edit.record, false), (ButtonView{"3700", "SSB QRP"}));

    preset.When = "2024-03-01 12:34:56";
    EXPECT_EQ(PresetDescriptionText(preset, "&LSB", "2.4 KHz"),
              "Frequency=3.700 MHz\nModulation=&LSB\nFilter=2.4 KHz\nDate=2024/03/01\n"
              "Time=12:34");
}
