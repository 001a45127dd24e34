// The sound card streamer as the receive chain sees it: the chain queues its blocks and sets
// the playback attenuation through this port.
#pragma once

#include "audio/OrvexDX8.h"
#include "dsp/ChainPorts.h"

namespace orvex {

class OrvexDX8ChainPort final : public SoundCardPort {
public:
    explicit OrvexDX8ChainPort(OrvexDX8& card) : m_card(card) {}
    void Output(const std::int16_t* Channel1, const std::int16_t* Channel2,
                std::int32_t NumSamples) override {
        m_card.Output(Channel1, Channel2, NumSamples);
    }
    void setOutputAttenuation(std::int32_t HundredthsDb) override {
        m_card.setOutputAttenuation(HundredthsDb);
    }
    std::int32_t OutputAttenuation() const override { return m_card.OutputAttenuation(); }
    bool Prepared() const override { return m_card.Prepared; }
    void PrepareDevices() override { m_card.PrepareDevices(); }
    void StartSound() override { m_card.StartSound(); }

private:
    OrvexDX8& m_card;
};

} // namespace orvex
