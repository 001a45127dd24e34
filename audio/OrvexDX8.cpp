#include "OrvexDX8.h"

#include "core/MessageSink.h"
#include "core/Numeric.h"
#include "core/YieldHook.h"
#include "dsp/OrvexVector.h"

#include <chrono>
#include <cstring>
#include <string>

namespace orvex {

OrvexDX8::OrvexDX8(audio::AudioBackend& backend) : m_backend(backend) {
    setSamplesPerEvent(2048);
}

OrvexDX8::~OrvexDX8() {
    if (Prepared) ReleaseDevices();
}

void OrvexDX8::setNoChannelsIn(std::int32_t v) {
    m_channelsIn = v;
    m_bytesPerCaptureEvent = 2 * v * m_samplesPerEvent;
    m_captureStaging.assign(static_cast<std::size_t>(std::max(1, v) * m_samplesPerEvent + 1), 0);
}

void OrvexDX8::setNoChannelsOut(std::int32_t v) {
    m_channelsOut = v;
    m_bytesPerOutputEvent = 2 * v * m_samplesPerEvent;
    m_outputRing.assign(static_cast<std::size_t>(16 * std::max(1, v) * m_samplesPerEvent + 1), 0);
}

void OrvexDX8::setSamplesPerEvent(std::int32_t v) {
    m_samplesPerEvent = v;
    // Provisional sizes; PrepareDevices recomputes them from the formats.
    m_bytesPerCaptureEvent = 2 * m_channelsIn * v;
    m_bytesPerOutputEvent = 2 * m_channelsOut * v;
    m_captureStaging.assign(static_cast<std::size_t>(std::max(1, m_channelsIn) * v + 1), 0);
    m_outputRing.assign(static_cast<std::size_t>(16 * std::max(1, m_channelsOut) * v + 1), 0);
}

std::int32_t OrvexDX8::OutputAttenuation() const {
    if (m_outputAttenuation >= 0) return m_outputAttenuation;
    return RoundHalfEven32(m_outputAttenuation / 100.0);
}

void OrvexDX8::setOutputAttenuation(std::int32_t v) {
    m_outputAttenuation = v < -10000 ? -10000 : v;
}

void OrvexDX8::fail(std::int32_t err, const std::string& why) {
    m_lastErr = err;
    m_lastErrText = why;
}

bool OrvexDX8::OpenDevices() {
    m_lastErr = 0;
    m_lastErrText.clear();
    // Both devices are tried even when the first fails, and the failure is remembered.
    std::string why;
    try {
        m_backend.playback().open(m_playbackDevice);
    } catch (const std::exception& e) {
        why = e.what();
    }
    YieldToUser();
    try {
        m_backend.capture().open(m_captureDevice);
    } catch (const std::exception& e) {
        why += (why.empty() ? "" : "; ") + std::string(e.what());
    }
    YieldToUser();
    if (!why.empty()) {
        ShowMessage(kSoundCardOpenMessage);
        fail(kErrDevice, why);
        m_backend.playback().close();
        m_backend.capture().close();
        return false;
    }
    if (m_bitsPerSample != 16 || m_channelsIn < 1 || m_channelsOut < 1 || m_samplesPerEvent < 1 ||
        m_blocksInBuffer < 1 || m_bufferRatio < 1 || m_fSampling < 1) {
        fail(kErrDevice, "unsupported stream layout: " + std::to_string(m_bitsPerSample) +
                             " bits, " + std::to_string(m_channelsIn) + "/" +
                             std::to_string(m_channelsOut) + " channels, blocks of " +
                             std::to_string(m_samplesPerEvent) + " frames at " +
                             std::to_string(m_fSampling) + " Hz");
        m_backend.playback().close();
        m_backend.capture().close();
        return false;
    }
    m_captureFormat = audio::PcmFormat{m_channelsIn, m_fSampling, m_bitsPerSample};
    m_bytesPerCaptureEvent = m_captureFormat.blockAlign() * m_samplesPerEvent;
    m_playbackFormat = audio::PcmFormat{m_channelsOut, m_fSampling, m_bitsPerSample};
    m_bytesPerOutputEvent = m_playbackFormat.blockAlign() * m_samplesPerEvent;
    m_captureBufferBytes = static_cast<std::int64_t>(m_bytesPerCaptureEvent) * m_blocksInBuffer;
    m_playbackBufferBytes =
        static_cast<std::int64_t>(m_bytesPerOutputEvent) * m_blocksInBuffer * m_bufferRatio;
    try {
        m_playbackBuffer = m_backend.playback().createBuffer(
            m_playbackFormat, m_playbackBufferBytes, m_backend.events());
        YieldToUser();
        m_captureBuffer = m_backend.capture().createBuffer(m_captureFormat, m_captureBufferBytes,
                                                           m_backend.events());
        YieldToUser();
    } catch (const std::exception& e) {
        fail(kErrDevice, e.what());
        m_captureBuffer.reset();
        m_playbackBuffer.reset();
        m_backend.playback().close();
        m_backend.capture().close();
        return false;
    }
    return true;
}

bool OrvexDX8::SetNotifications() {
    m_captureNotify.clear();
    m_playbackNotify.clear();
    const std::int64_t n = m_captureBufferBytes / m_bytesPerCaptureEvent;
    for (std::int64_t i = 0; i < n; ++i)
        m_captureNotify.push_back(
            {(i + 1) * m_bytesPerCaptureEvent - 1, m_backend.events().createEvent(m_eventForm)});
    const std::int64_t m = m_playbackBufferBytes / m_bytesPerOutputEvent;
    for (std::int64_t j = 0; j < m; ++j)
        m_playbackNotify.push_back(
            {(j + 1) * m_bytesPerOutputEvent - 1, m_backend.events().createEvent(m_eventForm)});
    try {
        m_captureBuffer->setNotificationPositions(m_captureNotify);
        m_playbackBuffer->setNotificationPositions(m_playbackNotify);
    } catch (const std::exception& e) {
        fail(kErrDevice, e.what());
        return false;
    }
    return true;
}

bool OrvexDX8::PrepareDevices() {
    if (Prepared) return true;
    if (!OpenDevices()) return false;
    if (!SetNotifications()) {
        Prepared = true; // so ReleaseDevices undoes the half-made set-up
        ReleaseDevices();
        return false;
    }
    Prepared = true;
    return true;
}

void OrvexDX8::ReleaseDevices() {
    if (!Prepared) return;
    if (m_inAction) StopSound();
    for (auto* list : {&m_captureNotify, &m_playbackNotify}) {
        for (const auto& entry : *list) {
            YieldToUser();
            if (entry.eventId != 0) m_backend.events().destroyEvent(entry.eventId);
        }
        list->clear();
    }
    // The buffers go before the devices they were made on.
    m_playbackBuffer.reset();
    m_captureBuffer.reset();
    m_backend.capture().close();
    m_backend.playback().close();
    Prepared = false;
}

void OrvexDX8::StartSound() {
    if (m_inAction) return;
    if (!Prepared && !PrepareDevices()) return;
    m_outWritePos = 0;
    m_outReadPos = 0;
    OutPtrWrap = false;
    m_inAction = true;
    OutDelay = m_bufferRatio * m_blocksInBuffer - 1;
    try {
        m_captureBuffer->start();
    } catch (const std::exception& e) {
        fail(kErrDevice, e.what());
        m_inAction = false;
    }
}

void OrvexDX8::StopSound() {
    if (!Prepared || !m_inAction) return;
    try {
        m_captureBuffer->stop();
        m_playbackBuffer->stop();
    } catch (const std::exception& e) {
        fail(kErrDevice, e.what());
    }
    // Notifications may still arrive while we wait; a device that never reports stopped is
    // given up on after a while instead of holding the program.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(kStopTimeoutSeconds);
    while (m_captureBuffer->status() == audio::BufferStatus::Running &&
           std::chrono::steady_clock::now() < deadline)
        YieldToUser();
    while (m_playbackBuffer->status() == audio::BufferStatus::Running &&
           std::chrono::steady_clock::now() < deadline)
        YieldToUser();
    m_inAction = false;
}

std::int32_t OrvexDX8::GetPlayDeviceNames(std::vector<std::string>& DeviceNames) {
    try {
        DeviceNames = m_backend.playback().deviceNames();
    } catch (const std::exception& e) {
        fail(kErrDevice, e.what());
        DeviceNames.clear();
    }
    return static_cast<std::int32_t>(DeviceNames.size()) - 1;
}

std::int32_t OrvexDX8::GetCapDeviceNames(std::vector<std::string>& DeviceNames) {
    try {
        DeviceNames = m_backend.capture().deviceNames();
    } catch (const std::exception& e) {
        fail(kErrDevice, e.what());
        DeviceNames.clear();
    }
    return static_cast<std::int32_t>(DeviceNames.size()) - 1;
}

void OrvexDX8::Capture(std::int16_t* Channel1, std::int16_t* Channel2) {
    const auto bytes = static_cast<std::size_t>(m_samplesPerEvent) * sizeof(std::int16_t);
    if (m_channelsIn == 1) {
        std::memcpy(Channel1, m_captureStaging.data(), bytes);
        std::memcpy(Channel2, m_captureStaging.data(), bytes);
    } else if (m_channelsIn == 2) {
        dll::DeInterlace_16_2(m_captureStaging.data(), Channel1, Channel2, m_samplesPerEvent);
    } else {
        ShowMessage(kChannelCountMessage);
        m_lastErr = kErrUnsupportedChannels;
    }
}

void OrvexDX8::Output(const std::int16_t* Channel1, const std::int16_t* Channel2, std::int32_t) {
    std::int16_t* slot = m_outputRing.data() + m_outWritePos;
    if (m_channelsOut == 1) {
        std::memcpy(slot, Channel1,
                    static_cast<std::size_t>(m_samplesPerEvent) * sizeof(std::int16_t));
    } else if (m_channelsOut == 2) {
        dll::Interlace_16_2(Channel1, Channel2, slot, m_samplesPerEvent);
    } else {
        ShowMessage(kChannelCountMessage);
        m_lastErr = kErrUnsupportedChannels;
        return;
    }
    ++m_outputCalls;
    advanceWritePos();
}

void OrvexDX8::advanceWritePos() {
    m_outWritePos += m_channelsOut * m_samplesPerEvent;
    if (m_outWritePos >= ringUpperIndex()) {
        m_outWritePos = 0;
        OutPtrWrap = true;
    }
}

bool OrvexDX8::EventHandler(int eventid, std::int16_t* Channel1, std::int16_t* Channel2) {
    for (std::size_t i = 0; i < m_captureNotify.size(); ++i) {
        if (m_captureNotify[i].eventId != eventid) continue;
        try {
            m_captureBuffer->readBuffer(static_cast<std::int64_t>(i) * m_bytesPerCaptureEvent,
                                        m_bytesPerCaptureEvent, m_captureStaging.data());
        } catch (const std::exception& e) {
            fail(kErrDevice, e.what());
            return true;
        }
        Capture(Channel1, Channel2);
        const std::uint64_t outputsBefore = m_outputCalls;
        if (DataReady) DataReady(Channel1, Channel2, m_samplesPerEvent);
        // A block the owner dropped keeps its place in the ring: the slot stays silent and the
        // output keeps its distance behind the input, instead of every later block moving up
        // one slot and the latency shrinking with each drop.
        if (m_outputCalls == outputsBefore) advanceWritePos();
        if (OutDelay > 0) {
            --OutDelay;
            if (OutDelay < 1) {
                try {
                    m_playbackBuffer->start();
                } catch (const std::exception& e) {
                    fail(kErrDevice, e.what());
                }
            }
        }
        return true;
    }
    for (std::size_t j = 0; j < m_playbackNotify.size(); ++j) {
        if (m_playbackNotify[j].eventId != eventid) continue;
        try {
            m_playbackBuffer->setVolume(m_outputAttenuation > 0 ? 0 : m_outputAttenuation);
            m_playbackBuffer->writeBuffer(static_cast<std::int64_t>(j) * m_bytesPerOutputEvent,
                                          m_bytesPerOutputEvent,
                                          m_outputRing.data() + m_outReadPos);
        } catch (const std::exception& e) {
            fail(kErrDevice, e.what());
        }
        // A slot that is not refilled in time plays as silence.
        std::memset(m_outputRing.data() + m_outReadPos, 0,
                    static_cast<std::size_t>(m_bytesPerOutputEvent));
        m_outReadPos += m_bytesPerOutputEvent / 2;
        if (m_outReadPos >= ringUpperIndex()) m_outReadPos = 0;
        return false;
    }
    return false;
}

} // namespace orvex
