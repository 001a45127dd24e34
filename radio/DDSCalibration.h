// DDSCalibration: the arithmetic and the Try / Apply / Cancel rules of the clock calibration
// dialog (frmCalibrate), without the window.
//
// The user tunes to a signal of known frequency and types that frequency. The tuning word in
// the synthesiser made the oscillator run at word x clock / 2^32; the clock that would make
// the same word give the oscillator for the typed frequency is
//
//     new clock = 2^32 x |official +- IF| / word            (IF subtracted for image tuning)
//
// Try puts the new clock into the DDS controller (the next frequency change uses it), Apply
// keeps it and closes, Cancel restores the clock the dialog found and closes. The dialog
// window forwards its events to the handlers named as its controls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

class ad9951;

class DDSCalibration {
public:
    /// Works on `vfo`, which must outlive the object.
    explicit DDSCalibration(ad9951& vfo) : m_vfo(vfo) {}

    /// Load: captures the clock, tuned frequency, IF and tuning word, fills the captions and
    /// puts the tuned frequency into the official-frequency text (which computes a first new
    /// clock).
    void Form_Load();
    /// The official frequency text changed (MHz, e.g. "14.200 000"; blanks are ignored, a
    /// text that is not a number counts as 0, which is refused with a message).
    void txtOfficialFreq_Change(std::string_view text);
    /// Try: ClkIn = new clock, nothing sent.
    void cmdTry_Click();
    /// Apply: ClkIn = new clock; ApplyChanges; close.
    void cmdApply_Click();
    /// Cancel: ClkIn = the clock at load; ApplyChanges; close.
    void cmdCancel_Click();

    /// Read by the configuration dialog after this one closed.
    bool ApplyChanges = false;
    /// True once Apply or Cancel closed the dialog.
    bool Unloaded() const { return m_unloaded; }

    // The dialog's texts.
    const std::string& Caption() const { return m_caption; }
    const std::string& lblCurrentTunedFreq() const { return m_lblCurrentTunedFreq; }
    const std::string& lblDDSClkInCurrent() const { return m_lblDDSClkInCurrent; }
    const std::string& lblDDSClkinNew() const { return m_lblDDSClkinNew; }
    const std::string& txtOfficialFreq() const { return m_txtOfficialFreq; }

    /// The computed clock, MHz (0 until one could be computed).
    double NewClock() const { return m_newClock; }
    /// The captured state: old clock (Hz), tuned frequency and IF (whole Hz), tuning word,
    /// official frequency (whole Hz).
    double OldClockHz() const { return m_oldClockHz; }
    std::int32_t TunedHz() const { return m_tunedHz; }
    std::int32_t IFHz() const { return m_ifHz; }
    std::int32_t TuningWord() const { return m_tuningWord; }
    std::int32_t OfficialHz() const { return m_officialHz; }

private:
    ad9951& m_vfo;
    double m_oldClockHz = 0.0;
    std::int32_t m_tunedHz = 0;
    std::int32_t m_ifHz = 0;
    std::int32_t m_tuningWord = 0;
    std::int32_t m_officialHz = 0;
    double m_newClock = 0.0;
    bool m_unloaded = false;
    std::string m_caption;
    std::string m_lblCurrentTunedFreq;
    std::string m_lblDDSClkInCurrent;
    std::string m_lblDDSClkinNew;
    std::string m_txtOfficialFreq;
};

} // namespace orvex
