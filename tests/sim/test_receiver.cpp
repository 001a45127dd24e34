// The simulated receiver on the program's own seams: tuned by the DDS controller over its
// control lines through the chip model, with the clock, IF and injection side the controller
// computes with; mistuned by corrupted sequences and clock errors; calibrated back; streamed
// through the sound card logic.
#include "SimTestSupport.h"
#include "audio/OrvexDX8.h"
#include "radio/DDSCalibration.h"
#include "radio/RecordingPorts.h"
#include "sim/SimCapture.h"
#include "sim/SimStatus.h"

#include <complex>

using namespace orvex;
using namespace orvex::test;

namespace {

constexpr double kTwoTo32 = 4294967296.0;
constexpr double kClock = 360096000.0;

const char* kCarriers = "noise -200\n"
                        "station 7.0031 MHz carrier level=-20\n"
                        "station 10.000 MHz carrier level=-20\n"
                        "station 14.2005 MHz carrier level=-20\n";

// The frequency of the strongest carrier within `span` Hz of `nearHz`.
double CarrierFrequency(const std::vector<float>& x, double nearHz, double span = 300.0) {
    return StrongestFrequency(x, nearHz - span, nearHz + span);
}

} // namespace

TEST(SimulatedReceiver, TuningThroughTheControllerMovesTheSignalsAsTheDecodedWordSays) {
    SimVfo s(SceneFrom(kCarriers));
    s.start();
    ASSERT_TRUE(s.messages.messages().empty());
    for (const double mhz : {7.0, 7.0012345, 9.9987, 14.2}) {
        s.vfo->setTunedFreq(mhz);
        const std::uint32_t word = *s.receiver.TuningWord();
        EXPECT_EQ(static_cast<double>(word), s.vfo->CurrentTuningWord());
        const double tuned = word * kClock / kTwoTo32 - 45e6;
        ASSERT_TRUE(s.receiver.TunedHz());
        EXPECT_DOUBLE_EQ(*s.receiver.TunedHz(), tuned);
        EXPECT_NEAR(tuned, mhz * 1e6, 0.5 * kClock / kTwoTo32);
        const auto x = s.render(1.0);
        for (const auto& v : s.receiver.StationsInView()) {
            const double at = 12000.0 + v.frequencyHz - tuned;
            EXPECT_NEAR(CarrierFrequency(x, at), at, 0.01) << mhz << " MHz, station " << v.name;
        }
    }
    // A tuning step of 1 kHz moves the carrier down by the difference of the two words.
    s.vfo->setTunedFreq(7.0);
    const std::uint32_t before = *s.receiver.TuningWord();
    s.vfo->setTuneStep(0.001);
    s.vfo->Inc_Freq(0.0);
    const std::uint32_t after = *s.receiver.TuningWord();
    EXPECT_NEAR((after - before) * kClock / kTwoTo32, 1000.0, 0.1);
    const auto x = s.render(1.0);
    EXPECT_NEAR(CarrierFrequency(x, 14100.0),
                12000.0 + 7.0031e6 - (after * kClock / kTwoTo32 - 45e6), 0.01);
}

TEST(SimulatedReceiver, EveryChipAndInterfaceTunesItWithItsOwnClockAndIF) {
    struct Case {
        DdsChip chip;
        int ifType;
        double clockMHz, ifMHz;
    };
    for (const Case c :
         {Case{DdsChip::AD9951, 1, 360.096, 45.0}, Case{DdsChip::AD9835, 1, 50.0, 4.0},
          Case{DdsChip::AD9835, 2, 50.0, -4.0}, Case{DdsChip::AD9850, 2, 125.0, 45.0}}) {
        SCOPED_TRACE(static_cast<int>(c.chip) * 10 + c.ifType);
        sim::SimReceiverConfig config = sim::SimReceiverConfig::ForChip(c.chip);
        config.ifHz = c.ifMHz * 1e6;
        SimVfo s(SceneFrom(kCarriers), config);
        s.vfo->setClkIn(c.clockMHz);
        s.vfo->setIFFreq(c.ifMHz);
        s.start(static_cast<int>(c.chip), c.ifType);
        s.vfo->setTunedFreq(7.0);
        ASSERT_TRUE(s.receiver.TunedHz());
        EXPECT_DOUBLE_EQ(s.receiver.SystemClockHz(), c.clockMHz * 1e6);
        const double word = s.vfo->CurrentTuningWord();
        EXPECT_EQ(static_cast<double>(*s.receiver.TuningWord()), word);
        // Low-side injection (negative IF): the oscillator sits below the signal.
        EXPECT_NEAR(*s.receiver.LocalOscillatorHz(), 7e6 + c.ifMHz * 1e6, 0.05);
        EXPECT_NEAR(*s.receiver.TunedHz(), 7e6, 0.5 * c.clockMHz * 1e6 / kTwoTo32);
        const auto x = s.render(1.0);
        EXPECT_NEAR(CarrierFrequency(x, 15100.0), 12000.0 + 7.0031e6 - *s.receiver.TunedHz(), 0.01);
        EXPECT_EQ(s.receiver.ChipFaults(), 0);
    }
}

TEST(SimulatedReceiver, ACorruptedBitSequenceMistunesItAsItWouldTheChip) {
    // Record the lines for one tuning word, then play them into the receiver with one data
    // bit flipped, and with one clock pulse missing.
    MemorySettingsStore store;
    RecordingPorts recorder;
    ad9951 sender(store, recorder);
    sender.setComPort(1);
    sender.SerialOpen();
    ASSERT_TRUE(sender.Lines().HasSerialPort());
    sender.Lines().setBitPeriodNs(0);
    sender.InitAD9951();
    const std::size_t initEvents = recorder.events().size();
    sender.Set_DDS(52.0031);
    const std::vector<LineEvent> all = recorder.events();
    const std::uint32_t word = static_cast<std::uint32_t>(sender.CurrentTuningWord());

    // Bit 16 of the word is the last bit of its second byte: after the instruction byte and
    // 15 bits, counting the RTS settings of the transfer (one per bit, most significant first).
    std::vector<LineEvent> flipped = all;
    int bit = 0;
    for (std::size_t i = initEvents; i < flipped.size(); ++i)
        if (flipped[i].line == LineId::RTS && bit++ == 8 + 15) flipped[i].value ^= 1;
    sim::SimulatedReceiver bad(SceneFrom(kCarriers));
    for (const auto& e : flipped)
        bad.lineChanged(e);
    ASSERT_TRUE(bad.TuningWord());
    ASSERT_EQ(*bad.TuningWord(), word ^ (1u << 16));
    // 65536 word steps: the receiver is 5.49 kHz off, and the carrier with it.
    const double tuned = *bad.TuningWord() * kClock / kTwoTo32 - 45e6;
    EXPECT_NEAR(std::fabs(tuned - 7.0031e6), 65536 * kClock / kTwoTo32, 0.05);
    std::vector<float> x(48000);
    bad.Render(x.data(), 48000, kRate);
    EXPECT_NEAR(CarrierFrequency(x, 12000.0 + 7.0031e6 - tuned), 12000.0 + 7.0031e6 - tuned, 0.01);

    // One clock pulse lost: the chip select ends in the middle of a byte and the chip keeps
    // its old word, so the receiver stays where it was, and the fault is counted.
    std::vector<LineEvent> missing;
    int breaks = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i >= initEvents && all[i].line == LineId::Break && ++breaks == 30) {
            ++i; // drop this set and the clear after it
            continue;
        }
        missing.push_back(all[i]);
    }
    sim::SimulatedReceiver stuck(SceneFrom(kCarriers));
    for (const auto& e : missing)
        stuck.lineChanged(e);
    EXPECT_FALSE(stuck.TuningWord());
    EXPECT_FALSE(stuck.TunedHz());
    EXPECT_GT(stuck.ChipFaults(), 0);
}

TEST(SimulatedReceiver, TheChipsStateDecidesTheOscillator) {
    // No word yet: no oscillator, receiver noise only.
    sim::SimulatedReceiver r(SceneFrom("noise -60\nstation 7.003 MHz carrier level=-10\n"));
    EXPECT_FALSE(r.LocalOscillatorHz());
    std::vector<float> x(48000);
    r.Render(x.data(), 48000, kRate);
    EXPECT_NEAR(measure::Rms(x), sim::DbfsToAmplitude(-60), 1.0);
    EXPECT_EQ(sim::SimTuningLine(r), "no local oscillator (no tuning word loaded yet)");

    // An AD9951 word before the control registers: the REFCLK multiplier is bypassed and the
    // chip runs on the 45.012 MHz crystal, an eighth of what the controller assumes.
    SimVfo s(SceneFrom(kCarriers));
    s.vfo->setComPort(1);
    s.vfo->SerialOpen();
    s.vfo->Lines().setBitPeriodNs(0);
    s.vfo->Set_DDS(52.0);
    EXPECT_DOUBLE_EQ(s.receiver.SystemClockHz(), 45012000.0);
    EXPECT_NEAR(*s.receiver.LocalOscillatorHz(), 52e6 / 8.0, 1.0);
    s.vfo->InitAD9951(); // CFR2 = 0x000047: multiplier 8
    EXPECT_DOUBLE_EQ(s.receiver.SystemClockHz(), kClock);
    EXPECT_NEAR(*s.receiver.TunedHz(), 7e6, 0.05);
    s.vfo->Set_DDS(200.0); // the all-ones word: the output filter passes the alias clock - f
    EXPECT_NEAR(*s.receiver.LocalOscillatorHz(), kClock * (1.0 - 4294967295.0 / kTwoTo32), 1.0);

    // An AD9835 between the reset word and the final run word has no output.
    sim::SimReceiverConfig config = sim::SimReceiverConfig::ForChip(DdsChip::AD9835);
    config.ifHz = 4e6;
    SimVfo t(SceneFrom(kCarriers), config);
    t.vfo->setClkIn(50.0);
    t.vfo->setIFFreq(4.0);
    t.start(2, 1);
    t.vfo->Lines().SerialSendWord(0xF800); // reset, sleep, clear
    EXPECT_FALSE(t.receiver.LocalOscillatorHz());
    EXPECT_TRUE(t.receiver.StationsInView().empty());
    t.vfo->Lines().SerialSendWord(0xC000);
    EXPECT_NEAR(*t.receiver.TunedHz(), 5.505e6, 0.05);
}

TEST(SimulatedReceiver, CalibrationRecoversTheTrueClockFromAStationOfKnownFrequency) {
    for (const double ppm : {-37.5, 12.25}) {
        SCOPED_TRACE(ppm);
        sim::SimReceiverConfig config;
        config.clockErrorPpm = ppm;
        SimVfo s(sim::DefaultScene(), config);
        s.start();
        s.vfo->setTunedFreq(10.0);
        // The reference is off, so the oscillator (55 MHz) is off by ppm x 55 Hz, and the 10 MHz
        // standard's carrier sits that far from the IF centre, the other way.
        EXPECT_NEAR(s.receiver.SystemClockHz(), kClock * (1.0 + ppm * 1e-6), 1e-3);
        EXPECT_NEAR(CarrierFrequency(s.render(1.0), 12000.0 - 55.0 * ppm, 50.0),
                    12000.0 - 55.0 * ppm, 1.0);
        // The user zero-beats it, watching where the carrier sits against the IF centre.
        for (int pass = 0; pass < 3; ++pass) {
            const double beat = CarrierFrequency(s.render(2.0), 12000.0, 3000.0) - 12000.0;
            s.vfo->setTunedFreq(s.vfo->TunedFreq() + beat / 1e6);
        }
        EXPECT_NEAR(CarrierFrequency(s.render(2.0), 12000.0), 12000.0, 0.05);
        // The calibration dialog, with the official frequency typed in.
        DDSCalibration cal(*s.vfo);
        cal.Form_Load();
        cal.txtOfficialFreq_Change("10.000 000");
        EXPECT_NEAR(cal.NewClock() * 1e6, s.receiver.SystemClockHz(), 1.0);
        EXPECT_GT(std::fabs(cal.NewClock() * 1e6 - kClock), 1000.0); // a real correction
        cal.cmdApply_Click();
        // With the corrected clock, another station tunes right on.
        s.vfo->setTunedFreq(6.015);
        EXPECT_NEAR(CarrierFrequency(s.render(1.0), 12000.0), 12000.0, 0.3);
    }
}

TEST(SimulatedReceiver, StreamsTheIFThroughTheSoundCardLogicAndPrintsItsStatus) {
    for (const int channels : {1, 2}) {
        SimVfo s(SceneFrom(kCarriers));
        s.start();
        s.vfo->setTunedFreq(7.0);
        audio::FrameClock clock;
        audio::AudioBackend backend(
            sim::MakeSimCaptureProvider(s.receiver, clock),
            std::make_unique<audio::ClockedPlaybackProvider>(
                clock, "null", [] { return std::make_unique<audio::NullSink>(); }));
        OrvexDX8 card(backend);
        card.setFSampling(48000);
        card.setNoChannelsIn(channels);
        card.setNoChannelsOut(1);
        card.setSamplesPerEvent(2048);
        std::vector<std::string> names;
        ASSERT_EQ(card.GetCapDeviceNames(names), 0);
        EXPECT_EQ(names[0], sim::kSimDeviceName);
        struct Owner final : audio::DXEventTarget {
            explicit Owner(OrvexDX8& c) : card(c), a(2048), b(2048) {}
            void DirectXEvent8_DXCallback(int id) override {
                card.EventHandler(id, a.data(), b.data());
            }
            OrvexDX8& card;
            std::vector<std::int16_t> a, b;
        } owner(card);
        card.setEventForm(&owner);
        std::vector<float> captured;
        bool same = true;
        card.DataReady = [&](std::int16_t* ch1, std::int16_t* ch2, std::int32_t n) {
            captured.insert(captured.end(), ch1, ch1 + n);
            same = same && std::equal(ch1, ch1 + n, ch2);
            card.Output(ch1, ch1, n);
        };
        ASSERT_TRUE(card.PrepareDevices());
        card.StartSound();
        clock.advance(24 * 2048);
        card.StopSound();
        EXPECT_EQ(captured.size(), 24u * 2048u);
        EXPECT_TRUE(same);
        EXPECT_NEAR(CarrierFrequency(captured, 15100.0), 12000.0 + 7.0031e6 - *s.receiver.TunedHz(),
                    0.01);
        EXPECT_NEAR(ToneAmplitude(captured, 15100.0), sim::DbfsToAmplitude(-20), 2.0);
    }

    SimVfo s(sim::DefaultScene());
    s.start();
    EXPECT_NE(sim::SimTuningLine(s.receiver).find("tuned 5.505000 MHz"), std::string::npos);
    const auto stations = sim::SimStationLines(s.receiver);
    ASSERT_EQ(stations.size(), 4u);
    EXPECT_NE(stations[2].find("    +0.000 kHz  IF 12000 Hz  AM       -28 dBFS  Radio Orvex"),
              std::string::npos)
        << stations[2];
    std::string error;
    sim::SimSetup setup;
    setup.sceneFile = "/nonexistent/none.scene";
    EXPECT_FALSE(sim::MakeSimulatedReceiver(setup, error));
    EXPECT_NE(error.find("/nonexistent/none.scene: No such file"), std::string::npos) << error;
}
