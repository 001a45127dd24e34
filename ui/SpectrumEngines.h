// The window's spectrum analyser and waterfall, handed to the application core at start-up
// as its SpectrumDisplay: the core sets the display's properties and calls the redraw; the
// display widgets show the engines' images. The waterfall is fed by the analyser with every
// Frequency-mode frame. Both restore their settings from the store and save them when the
// core releases this object at shutdown.
#pragma once

#include "app/SpectrumDisplay.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"

namespace orvex::ui {

class SpectrumEngines final : public app::SpectrumDisplay {
public:
    explicit SpectrumEngines(SettingsStore* store);
    SpectrumEngines(const SpectrumEngines&) = delete;
    SpectrumEngines& operator=(const SpectrumEngines&) = delete;

    clsSpectrumAnalyser& analyser() { return m_analyser; }
    Waterfall& waterfall() { return m_waterfall; }

    // SpectrumTap
    bool Active() const override { return m_analyser.Active(); }
    bool Chn2Enabled() const override { return m_analyser.Chn2Enabled(); }
    void setReverseSpectrum(bool on) override { m_analyser.setReverseSpectrum(on); }
    double FStart() const override { return m_analyser.FStart(); }
    double FEnd() const override { return m_analyser.FEnd(); }
    void setFOffset(std::int32_t Hz) override { m_analyser.setFOffset(Hz); }
    void LoadSamples_INT16(const std::int16_t* a, const std::int16_t* b) override {
        m_analyser.LoadSamples_INT16(a, b);
    }
    void LoadSamples_S(const float* a, const float* b) override { m_analyser.LoadSamples_S(a, b); }
    void LoadFilterCoeffs_T_S(const float* taps) override { m_analyser.LoadFilterCoeffs_T_S(taps); }
    void setShowNotch(bool on) override { m_analyser.setShowNotch(on); }

    // set-up
    std::int32_t FSampling() const override { return m_analyser.FSampling(); }
    void setFSampling(std::int32_t Hz) override { m_analyser.setFSampling(Hz); }
    void setOrder(std::int32_t order) override { m_analyser.setOrder(order); }
    void init() override { m_analyser.init(); }
    void SetupDisplay() override { m_analyser.SetupDisplay(); }
    void setActive(bool on) override { m_analyser.setActive(on); }
    void Display() override { m_analyser.Display(); }

    // object-wide
    std::int32_t Mode() const override { return m_analyser.Mode(); }
    void setMode(std::int32_t mode) override { m_analyser.setMode(mode); }
    bool AutoGain() const override { return m_analyser.AutoGain(); }
    void setAutoGain(bool on) override { m_analyser.setAutoGain(on); }
    bool ShowFilter() const override { return m_analyser.ShowFilter(); }
    void setShowFilter(bool on) override { m_analyser.setShowFilter(on); }
    bool ShowNotch() const override { return m_analyser.ShowNotch(); }
    void setNotchCentre(float Hz) override { m_analyser.setNotchCentre(Hz); }
    void setNotchWidth(float Hz) override { m_analyser.setNotchWidth(Hz); }
    bool SmoothSpectrum() const override { return m_analyser.SmoothSpectrum(); }
    void setSmoothSpectrum(bool on) override { m_analyser.setSmoothSpectrum(on); }
    float Gain() const override { return m_analyser.Gain(); }
    void setGain(float g) override { m_analyser.setGain(g); }
    std::int32_t SpectrumSmooth() const override { return m_analyser.SpectrumSmooth(); }
    void setSpectrumSmooth(std::int32_t n) override { m_analyser.setSpectrumSmooth(n); }
    void setScreenWidth(std::int32_t n) override { m_analyser.setScreenWidth(n); }
    std::int32_t StartBin() const override { return m_analyser.StartBin(); }
    void setStartBin(std::int32_t bin) override { m_analyser.setStartBin(bin); }
    std::int32_t StopBin() const override { return m_analyser.StopBin(); }
    void setStopBin(std::int32_t bin) override { m_analyser.setStopBin(bin); }
    void setFStart(std::int32_t Hz) override { m_analyser.setFStart(Hz); }
    void setFEnd(std::int32_t Hz) override { m_analyser.setFEnd(Hz); }
    std::int32_t FOffset() const override { return m_analyser.FOffset(); }
    bool ReverseSpectrum() const override { return m_analyser.ReverseSpectrum(); }
    float HzPerBin() const override { return m_analyser.HzPerBin(); }

    // current mode
    bool LogMode() const override { return m_analyser.LogMode(); }
    void setLogMode(bool on) override { m_analyser.setLogMode(on); }
    bool FastMode() const override { return m_analyser.FastMode(); }
    void setFastMode(bool on) override { m_analyser.setFastMode(on); }
    bool Chn1Enabled() const override { return m_analyser.Chn1Enabled(); }
    void setChn1Enabled(bool on) override { m_analyser.setChn1Enabled(on); }
    void setChn2Enabled(bool on) override { m_analyser.setChn2Enabled(on); }
    bool Chn1Trig() const override { return m_analyser.Chn1Trig(); }
    bool Chn2Trig() const override { return m_analyser.Chn2Trig(); }
    std::int16_t TriggerChn() const override { return m_analyser.TriggerChn(); }
    void setTriggerChn(std::int16_t chn) override { m_analyser.setTriggerChn(chn); }
    float Chn1Gain() const override { return m_analyser.Chn1Gain(); }
    void setChn1Gain(float g) override { m_analyser.setChn1Gain(g); }
    float Chn2Gain() const override { return m_analyser.Chn2Gain(); }
    void setChn2Gain(float g) override { m_analyser.setChn2Gain(g); }
    float Chn1Shift() const override { return m_analyser.Chn1Shift(); }
    void setChn1Shift(float s) override { m_analyser.setChn1Shift(s); }
    float Chn2Shift() const override { return m_analyser.Chn2Shift(); }
    void setChn2Shift(float s) override { m_analyser.setChn2Shift(s); }

    // the picture
    double DisplayWidth() const override { return m_analyser.DisplayWidth(); }
    double FrequencyAtX(double x) const override { return m_analyser.FrequencyAtX(x); }
    std::string FrequencyReadout(double x) const override { return m_analyser.FrequencyReadout(x); }
    std::optional<double> ClickTuneMHz(double x) const override {
        return m_analyser.ClickTuneMHz(x);
    }

    // the waterfall
    bool WaterfallOn() const override { return m_waterfall.Enabled(); }
    void setWaterfallOn(bool on) override;
    float WaterfallMinDb() const override { return m_waterfall.MinDb(); }
    void setWaterfallMinDb(float db) override { m_waterfall.setMinDb(db); }
    float WaterfallMaxDb() const override { return m_waterfall.MaxDb(); }
    void setWaterfallMaxDb(float db) override { m_waterfall.setMaxDb(db); }

private:
    Waterfall m_waterfall; // before the analyser, which feeds it and goes first
    clsSpectrumAnalyser m_analyser;
};

} // namespace orvex::ui
