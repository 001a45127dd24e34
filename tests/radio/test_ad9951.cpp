// The DDS controller: tuning arithmetic, what reaches each chip, settings, ports.
#include "RadioTestSupport.h"
#include "core/YieldHook.h"
#include "radio/PortNames.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace orvex;
using orvex::test::RecordedVfo;

namespace {

std::vector<ChipTransfer> Latched(const LineDecoder& d, ChipTransfer::Kind kind) {
    std::vector<ChipTransfer> out;
    for (const auto& t : d.transfers())
        if (t.kind == kind) out.push_back(t);
    return out;
}

} // namespace

TEST(ad9951, TunedFreqClampsAndComputesTheOscillator) {
    RecordedVfo r;
    ad9951& v = *r.vfo;
    v.setTunedFreq(-1.0);
    EXPECT_EQ(v.TunedFreq(), 0.0);
    EXPECT_EQ(v.FreqOut(), 45.0);
    v.setTunedFreq(200.0);
    EXPECT_NEAR(v.TunedFreq(), 135.047999, 1e-9);
    v.setIFFreq(-10.7); // low-side: |tuned - IF|
    v.setTunedFreq(7.0);
    EXPECT_NEAR(v.FreqOut(), 3.7, 1e-12);
    v.setMultiplier(4);
    v.setTunedFreq(14.0);
    EXPECT_NEAR(v.FreqOut(), 13.2, 1e-12);
}

TEST(ad9951, The50505MHzWordAndItsBytes) {
    RecordedVfo r;
    r.start();
    r.decoder.reset();
    EXPECT_EQ(r.vfo->Set_DDS(50.505), 50.505);
    EXPECT_EQ(r.vfo->CurrentTuningWord(), 602387484.0);
    const auto writes = Latched(r.decoder, ChipTransfer::Kind::AD9951Write);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, (std::vector<std::uint8_t>{0x04, 0x23, 0xE7, 0xB4, 0x1C}));
    EXPECT_EQ(r.decoder.FrequencyWord(), 0x23E7B41Cu);
}

TEST(ad9951, AtOrAboveNyquistTheWordIsAllOnes) {
    RecordedVfo r;
    r.start();
    r.vfo->Set_DDS(180.048);
    EXPECT_EQ(r.vfo->CurrentTuningWord(), -1.0);
    EXPECT_EQ(r.decoder.FrequencyWord(), 0xFFFFFFFFu);
    r.vfo->Set_DDS(500.0);
    EXPECT_EQ(r.decoder.FrequencyWord(), 0xFFFFFFFFu);
    // Just below the limit the word is the chip's Nyquist word, not an overflow.
    r.vfo->Set_DDS(180.048 - 1e-12);
    EXPECT_EQ(r.decoder.FrequencyWord(), 0x80000000u);
}

TEST(ad9951, IncFreqSnapsThenSteps) {
    RecordedVfo r;
    ad9951& v = *r.vfo;
    v.setTunedFreq(7.09996);
    v.setTuneStep(0.001);
    v.setTuneStepLSD(0.0001);
    EXPECT_NEAR(v.Inc_Freq(0), 7.1010, 1e-9);
    EXPECT_NEAR(v.Inc_Freq(-0.0005), 7.1005, 1e-9);
    double dec = 0.005;
    EXPECT_NEAR(v.Dec_Freq(dec), 7.0955, 1e-9);
    EXPECT_EQ(dec, -0.005);
    dec = -0.002; // the sign of the argument does not matter
    EXPECT_NEAR(v.Dec_Freq(dec), 7.0935, 1e-9);
    EXPECT_EQ(dec, -0.002);
    dec = 0; // 0 means TuneStep
    v.Dec_Freq(dec);
    EXPECT_EQ(dec, -0.001);
    v.setTuneStepLSD(0); // no grid: steps from where it is
    v.setTunedFreq(7.00001);
    EXPECT_NEAR(v.Inc_Freq(0.001), 7.00101, 1e-9);
}

TEST(ad9951, StepsAreSentOnlyWithAutoUpDate) {
    RecordedVfo r;
    r.start();
    const auto before = Latched(r.decoder, ChipTransfer::Kind::AD9951Write).size();
    r.vfo->setAutoUpDate(false);
    r.vfo->Inc_Freq(0);
    EXPECT_EQ(Latched(r.decoder, ChipTransfer::Kind::AD9951Write).size(), before);
    EXPECT_FALSE(r.vfo->AutoUpDate());
    r.vfo->setAutoUpDate(true); // sends the current FreqOut at once
    r.vfo->Inc_Freq(0);
    EXPECT_EQ(Latched(r.decoder, ChipTransfer::Kind::AD9951Write).size(), before + 2);
    EXPECT_TRUE(r.vfo->AutoUpDate());
}

TEST(ad9951, FormattedFrequency) {
    RecordedVfo r;
    ad9951& v = *r.vfo;
    v.setTunedFreq(14.2);
    EXPECT_EQ(v.FormattedTunedFreq(), "142000000");
    v.setTunedFreq(5.505);
    EXPECT_EQ(v.FormattedTunedFreq(), "055050000");
    v.setTunedFreq(123.4567891);
    EXPECT_EQ(v.FormattedTunedFreq(), "1234567891");
    std::string mhz, khz, hz, dhz = "untouched";
    v.setTunedFreq(4.35); // 4.35 x 1000 is 4349.999... in binary
    v.FormatFreq(mhz, khz, hz, dhz);
    EXPECT_EQ(mhz + "|" + khz + "|" + hz + "|" + dhz, "04|350|000|untouched");
    v.setTunedFreq(14.2345678);
    v.FormatFreq(mhz, khz, hz, dhz);
    EXPECT_EQ(mhz + "|" + khz + "|" + hz, "14|234|567");
    v.setBit_Data(3); // kept as the mask 8, read back as the bit number
    EXPECT_EQ(v.Bit_Data(), 3);
    v.setBit_Clock(31); // 2^31 does not fit the mask: refused
    EXPECT_EQ(v.Bit_Clock(), 0);
}

TEST(ad9951, InitProgramsTheChipAndSendsTheSavedFrequency) {
    RecordedVfo r;
    r.store.save("VFO1", "TunedFreq", "7100000");
    r.start();
    EXPECT_EQ(r.vfo->Name(), "VFO1");
    EXPECT_TRUE(r.vfo->AutoUpDate());
    EXPECT_NEAR(r.vfo->TunedFreq(), 7.1, 1e-12);
    EXPECT_EQ(r.ports.lastDevice(), "/dev/ttyS0"); // ComPort 1
    EXPECT_EQ(r.decoder.AD9951Register(0), 0x00000202u);
    EXPECT_EQ(r.decoder.AD9951Register(1), 0x000047u); // clock above 200 MHz
    const auto writes = Latched(r.decoder, ChipTransfer::Kind::AD9951Write);
    ASSERT_EQ(writes.size(), 4u); // CFR1, CFR2, then the word twice (AutoUpDate, TunedFreq)
    EXPECT_EQ(writes[2].value, writes[3].value);
    EXPECT_EQ(r.decoder.FrequencyWord(),
              static_cast<std::uint32_t>(std::llround(4294967296.0 * 52.1 / 360.096)));
    EXPECT_EQ(r.decoder.Faults(), 0);
    EXPECT_TRUE(r.messages.messages().empty());

    r.vfo->setClkIn(100.0);
    r.vfo->InitAD9951();
    EXPECT_EQ(r.decoder.AD9951Register(1), 0x000043u);
}

TEST(ad9951, TheParallelPortSendsNothingToAnAD9951) {
    RecordedVfo r;
    std::vector<std::string> captions;
    r.vfo->setCaptionHandler([&](const std::string& c) { captions.push_back(c); });
    r.start(2);
    EXPECT_EQ(r.ports.openParallelCount(), 1);
    EXPECT_EQ(r.ports.lastDevice(), "/dev/parport0");
    EXPECT_TRUE(r.ports.events().empty());
    EXPECT_FALSE(r.decoder.FrequencyWord().has_value());
    // InitAD9951 still tries the serial lines, and with no port says so in the caption.
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.front(), "No valid serial port configured - Configure a valid serial port");
    EXPECT_EQ(r.vfo->Caption(), captions.front());
}

TEST(ad9951, TheAD9850SequenceOnTheParallelPort) {
    RecordedVfo r(DdsChip::AD9850);
    r.start(2);
    r.ports.clear();
    r.vfo->Set_DDS(50.505);
    const auto& ev = r.ports.events();
    ASSERT_EQ(ev.size(), 1u + 40u * 3u + 2u);
    EXPECT_EQ(ev.front().value, 0);
    EXPECT_EQ(ev[ev.size() - 2].value, 4);
    EXPECT_EQ(ev.back().value, 0);
    // Bit i of the word, least significant first, as d, d + 2, d.
    for (int i = 0; i < 40; ++i) {
        const int d = i < 32 ? static_cast<int>((602387484u >> i) & 1u) : 0;
        EXPECT_EQ(ev[1 + 3 * i].value, d);
        EXPECT_EQ(ev[2 + 3 * i].value, d + 2);
        EXPECT_EQ(ev[3 + 3 * i].value, d);
    }
    EXPECT_EQ(r.decoder.FrequencyWord(), 602387484u);
}

TEST(ad9951, AD9835WordsInOrder) {
    for (const int ifType : {1, 2}) {
        RecordedVfo r(DdsChip::AD9835);
        r.start(ifType);
        r.decoder.reset();
        r.vfo->Set_DDS(50.505);
        std::vector<std::uint32_t> words;
        for (const auto& t : Latched(r.decoder, ChipTransfer::Kind::AD9835Word))
            words.push_back(t.value);
        EXPECT_EQ(words, (std::vector<std::uint32_t>{0xF800, 0x301C, 0x21B4, 0x32E7, 0x2323, 0x8000,
                                                     0xC000}))
            << "IFType " << ifType;
        EXPECT_EQ(r.decoder.FrequencyWord(), 602387484u);
        EXPECT_EQ(r.decoder.Faults(), 0);
    }
}

TEST(ad9951, RoundTripOverRandomFrequenciesAndClocks) {
    struct Case {
        DdsChip chip;
        int ifType;
    };
    std::mt19937_64 rng(20240605);
    for (const Case c : {Case{DdsChip::AD9951, 1}, Case{DdsChip::AD9835, 1},
                         Case{DdsChip::AD9835, 2}, Case{DdsChip::AD9850, 2}}) {
        RecordedVfo r(c.chip);
        r.start(c.ifType);
        r.ports.setKeepEvents(false);
        std::uniform_real_distribution<double> clocks(10.0, 500.0);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        for (int i = 0; i < 2500; ++i) {
            const double clk = clocks(rng);
            r.vfo->setClkIn(clk);
            const double freq = unit(rng) * clk / 2.0; // below Nyquist
            r.vfo->Set_DDS(freq);
            const double word = r.vfo->CurrentTuningWord();
            const auto latched = r.decoder.FrequencyWord();
            ASSERT_TRUE(latched.has_value());
            ASSERT_EQ(static_cast<double>(*latched), word) << "clk " << clk << " freq " << freq;
            const double step = clk / 4294967296.0;
            ASSERT_LE(std::fabs(*latched * step - freq), 0.5 * step * (1 + 1e-9))
                << "clk " << clk << " freq " << freq;
        }
        EXPECT_EQ(r.decoder.Faults(), 0);
    }
}

TEST(ad9951, RoundTripThroughTheTuningPath) {
    RecordedVfo r;
    r.start();
    r.ports.setKeepEvents(false);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> tuned(0.0, 60.0), ifs(-45.0, 45.0);
    for (int i = 0; i < 1000; ++i) {
        r.vfo->setIFFreq(ifs(rng));
        r.vfo->setTunedFreq(tuned(rng));
        const double out = std::fabs(r.vfo->TunedFreq() + r.vfo->IFFreq());
        const double step = r.vfo->ClkIn() / 4294967296.0;
        ASSERT_LE(std::fabs(*r.decoder.FrequencyWord() * step - out), 0.5 * step * (1 + 1e-9));
    }
}

TEST(ad9951, NestedCallsDuringAWaitAreDropped) {
    RecordedVfo r;
    r.start(1, false);
    const double before = r.vfo->TunedFreq();
    int nested = 0;
    {
        ScopedYieldHook hook([&] {
            if (nested++ > 0) return;
            r.vfo->setTunedFreq(3.0); // dropped: TunedFreq is being set
            r.vfo->Set_DDS(1.0);      // sends nothing: Set_DDS is running
            r.vfo->InitAD9951();      // sends nothing: a byte string is going out
        });
        r.vfo->setTunedFreq(before + 0.001);
    }
    EXPECT_NEAR(r.vfo->TunedFreq(), before + 0.001, 1e-12);
    EXPECT_EQ(r.decoder.Faults(), 0);
    EXPECT_EQ(r.decoder.FrequencyWord(), static_cast<std::uint32_t>(r.vfo->CurrentTuningWord()));
}

TEST(ad9951, KeysWrittenAtTerminationAreReadByTheNextInit) {
    MemorySettingsStore store;
    RecordingPorts ports;
    {
        ad9951 v(store, ports);
        v.init();
        v.setTunedFreq(14.2345678);
        v.setTuneStep(0.000007); // 7 Hz: 6.999... after the multiplication
        v.setBit_Data(3);
        v.setIFFreq(-10.7);
        v.setClkIn(359.9);
        v.setComPort(7);
        v.setTuneImage(true);
        v.setDDSType(2);
    }
    EXPECT_EQ(store.get("VFO1", "TunedFreq", ""), "14234568");
    EXPECT_EQ(store.get("VFO1", "TuneStep", ""), "7");
    EXPECT_EQ(store.get("VFO1", "IFFreq", ""), "-10700000");
    EXPECT_EQ(store.get("VFO1", "CLKIn", ""), "359900000");
    EXPECT_EQ(store.get("VFO1", "Bit_Data", ""), "3");
    EXPECT_EQ(store.get("VFO1", "Bit_Clock", ""), "1");
    EXPECT_EQ(store.get("VFO1", "IOPort", ""), "888");
    EXPECT_EQ(store.get("VFO1", "ParallelPort", ""), "888");
    EXPECT_EQ(store.get("VFO1", "ComPort", ""), "7");
    EXPECT_EQ(store.get("VFO1", "IFType", ""), "1");
    EXPECT_EQ(store.get("VFO1", "DDSType", ""), "2");
    EXPECT_EQ(store.get("VFO1", "AutoUpdate", ""), "True");
    EXPECT_EQ(store.get("VFO1", "TuneImage", ""), "True");
    EXPECT_EQ(ports.openSerialCount(), 0); // termination closed the port

    store.save("VFO1", "TuneStep", "12.5"); // a fractional step from an older run
    ad9951 next(store, ports);
    next.init();
    EXPECT_NEAR(next.TunedFreq(), 14.234568, 1e-12);
    EXPECT_NEAR(next.TuneStep(), 0.0000125, 1e-15);
    EXPECT_EQ(next.Bit_Data(), 3);
    EXPECT_EQ(next.ComPort(), 7);
    EXPECT_EQ(ports.lastDevice(), "/dev/ttyUSB2");
    // The configuration and calibration of the last run come back.
    EXPECT_DOUBLE_EQ(next.IFFreq(), -10.7);
    EXPECT_DOUBLE_EQ(next.ClkIn(), 359.9);
    EXPECT_DOUBLE_EQ(next.MaxFreq(), 179.95);
    EXPECT_EQ(next.DDSType(), 2);
    EXPECT_TRUE(next.TuneImage());
}

TEST(ad9951, SavedClockIFAndChipOutsideWhatAReceiverRunsWithKeepTheDefaults) {
    const char* bad[][4] = {
        // CLKIn, IFFreq, DDSType, TuneImage
        {"1000000", "180048000", "0", "maybe"}, // clock not above 1 MHz; IF at half the clock
        {"2000000000", "-200000000", "4", ""},  // beyond 1000 MHz; |IF| above half the clock
        {"nan", "inf", "three", "2x"},
    };
    for (const auto& keys : bad) {
        RecordedVfo r;
        r.store.save("VFO1", "CLKIn", keys[0]);
        r.store.save("VFO1", "IFFreq", keys[1]);
        r.store.save("VFO1", "DDSType", keys[2]);
        r.store.save("VFO1", "TuneImage", keys[3]);
        r.vfo->init();
        EXPECT_EQ(r.vfo->ClkIn(), 360.096) << keys[0];
        EXPECT_EQ(r.vfo->IFFreq(), 45.0) << keys[1];
        EXPECT_EQ(r.vfo->DDSType(), 3) << keys[2];
        EXPECT_FALSE(r.vfo->TuneImage()) << keys[3];
    }
    // A saved IF that only fits the saved clock is taken with it; the saved frequency is then
    // clamped to what that clock reaches.
    RecordedVfo r;
    r.store.save("VFO1", "CLKIn", "50000000");
    r.store.save("VFO1", "IFFreq", "-4915000");
    r.store.save("VFO1", "TunedFreq", "30000000");
    r.vfo->init();
    EXPECT_DOUBLE_EQ(r.vfo->IFFreq(), -4.915);
    EXPECT_NEAR(r.vfo->TunedFreq(), 25.0 + 4.915 - 0.000001, 1e-9);
}

TEST(ad9951, UnreadableKeysKeepTheDefaults) {
    RecordedVfo r;
    r.store.save("VFO1", "TunedFreq", "seven");
    r.store.save("VFO1", "TuneStep", "0");
    r.store.save("VFO1", "ComPort", "");
    r.store.save("VFO1", "Bit_Load", "x");
    r.vfo->init();
    EXPECT_EQ(r.vfo->TunedFreq(), 5.505);
    EXPECT_EQ(r.vfo->TuneStep(), 0.0001);
    EXPECT_EQ(r.vfo->ComPort(), 1);
    EXPECT_EQ(r.vfo->Bit_Load(), 2);
    EXPECT_EQ(r.vfo->IFType(), 1);
}

TEST(ad9951, PortNumbersAndDevicePaths) {
    EXPECT_EQ(SerialDeviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(SerialDeviceForPort(4), "/dev/ttyS3");
    EXPECT_EQ(SerialDeviceForPort(5), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDeviceForPort(9), "/dev/ttyACM0");
    EXPECT_EQ(SerialDeviceForPort(12), "/dev/ttyACM3");
    EXPECT_EQ(SerialDeviceForPort(0), "");
    EXPECT_EQ(SerialDeviceForPort(13), "");

    RecordedVfo r;
    r.store.save("VFO1", "ComPort", "12");
    r.store.save("VFO1", "ComDevice", "/dev/serial/by-id/usb-FTDI-if00");
    r.vfo->init();
    EXPECT_EQ(r.ports.lastDevice(), "/dev/serial/by-id/usb-FTDI-if00");
    // Choosing another number goes back to the number's device; the same number keeps the path.
    r.vfo->setComPort(12);
    EXPECT_EQ(r.vfo->SerialDevice(), "/dev/serial/by-id/usb-FTDI-if00");
    r.vfo->setComPort(12 - 1);
    EXPECT_EQ(r.vfo->SerialDevice(), "/dev/ttyACM2");
    r.vfo->SerialClose();
    r.vfo->setComPort(12); // port 12 is port 12, not port 1
    r.vfo->SerialOpen();
    EXPECT_EQ(r.ports.lastDevice(), "/dev/ttyACM3");
}

TEST(ad9951, PortFaultsGiveTheMessagesAndTheReason) {
    RecordedVfo r;
    r.ports.failNextOpen({PortFault::Permission,
                          "cannot use /dev/ttyS0: Permission denied - the user must be in the "
                          "'dialout' group"});
    r.vfo->init();
    ASSERT_EQ(r.messages.messages().size(), 1u);
    const std::string& text = r.messages.messages()[0].text;
    EXPECT_EQ(text.rfind("Unable to open the serial port /dev/ttyS0 - Set a valid serial port in "
                         "Configuration, then Close and Restart\n",
                         0),
              0u);
    EXPECT_NE(text.find("dialout"), std::string::npos);
    EXPECT_FALSE(r.vfo->Lines().HasSerialPort());
    // Sending with no port: the caption, nothing on the lines.
    EXPECT_EQ(r.vfo->Caption(), "No valid serial port configured - Configure a valid serial port");
    EXPECT_TRUE(r.ports.events().empty());

    r.messages.clear();
    r.ports.failNextOpen({PortFault::Busy, "cannot use /dev/ttyS0: Device or resource busy"});
    r.vfo->SerialOpen();
    ASSERT_EQ(r.messages.messages().size(), 1u);
    EXPECT_EQ(r.messages.messages()[0].text.rfind("Serial Port Interface Error\n", 0), 0u);
    EXPECT_TRUE(r.messages.contains("busy"));

    r.messages.clear();
    r.vfo->setComPort(40);
    r.vfo->SerialOpen();
    EXPECT_TRUE(r.messages.contains("Serial port number 40 names no device"));

    r.messages.clear();
    r.ports.failNextOpen({PortFault::NotFound, "cannot use /dev/parport0: No such file"});
    r.vfo->ParallelOpen();
    EXPECT_TRUE(r.messages.contains("/dev/parport0"));
}

TEST(ad9951, SwitchingToTheParallelPortSendsTheAD9835ControlWords) {
    RecordedVfo r(DdsChip::AD9835);
    r.start(1);
    r.decoder.reset();
    r.vfo->SerialClose();
    r.vfo->ParallelOpen();
    ASSERT_EQ(r.decoder.transfers().size(), 2u);
    EXPECT_EQ(r.decoder.transfers()[0].value, 0x8000u);
    EXPECT_EQ(r.decoder.transfers()[1].value, 0xC000u);
    r.vfo->ParallelClose();
    EXPECT_EQ(r.ports.openParallelCount(), 0);
}
