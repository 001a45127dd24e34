// Sound card streaming in fixed blocks: a circular capture buffer and a circular playback
// buffer with a notification at the end of every block, an output ring of 16 block slots, and
// playback held back until a few blocks have been captured, so the output always runs about
// three blocks behind the input.
#pragma once

#include "audio/AudioDevices.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

/// Message shown when the devices cannot be opened.
inline constexpr const char* kSoundCardOpenMessage =
    "Unable to start the sound card. Check that the ALSA capture and playback devices exist "
    "and are not in use.";
/// Message shown for a channel count other than 1 or 2 (LastErr 1001).
inline constexpr const char* kChannelCountMessage =
    "Unknown Number of channels, only Mono or Stereo allowed";
inline constexpr std::int32_t kErrUnsupportedChannels = 1001;
/// LastErr after a device or buffer fault reported by the back end.
inline constexpr std::int32_t kErrDevice = 1002;

/// Life: create over a back end; set the properties and EventForm; PrepareDevices (opens the
/// devices, buffers and notifications); StartSound; the owner's DirectXEvent8_DXCallback calls
/// EventHandler for every notification, which raises DataReady once per captured block;
/// StopSound; ReleaseDevices (also done on destruction). All calls on one thread.
class OrvexDX8 {
public:
    explicit OrvexDX8(audio::AudioBackend& backend);
    ~OrvexDX8();
    OrvexDX8(const OrvexDX8&) = delete;
    OrvexDX8& operator=(const OrvexDX8&) = delete;

    // ---- Properties (take effect at the next PrepareDevices) -------------------------------
    std::int32_t FSampling() const { return m_fSampling; } ///< frames per second, both directions
    void setFSampling(std::int32_t v) { m_fSampling = v; }
    std::int32_t BitsPerSample() const { return m_bitsPerSample; } ///< only 16 is streamed
    void setBitsPerSample(std::int32_t v) { m_bitsPerSample = v; }
    std::int32_t NoChannelsIn() const { return m_channelsIn; } ///< capture channels, 1 or 2
    void setNoChannelsIn(std::int32_t v);
    std::int32_t NoChannelsOut() const { return m_channelsOut; } ///< playback channels, 1 or 2
    void setNoChannelsOut(std::int32_t v);
    std::int32_t SamplesPerEvent() const { return m_samplesPerEvent; } ///< frames per block
    /// Also re-dimensions (and so clears) the capture staging block and the output ring.
    void setSamplesPerEvent(std::int32_t v);
    std::int32_t NoBlocksInBuffer() const { return m_blocksInBuffer; } ///< capture buffer blocks
    void setNoBlocksInBuffer(std::int32_t v) { m_blocksInBuffer = v; }
    std::int32_t Inp2OutpBufferRatio() const { return m_bufferRatio; } ///< playback / capture size
    void setInp2OutpBufferRatio(std::int32_t v) { m_bufferRatio = v; }
    /// Playback volume in hundredths of a decibel; 0 or positive is full volume, -10000 silent.
    /// The setter raises anything below -10000 to -10000; the getter returns a stored value of
    /// 0 or more as it is and a negative one divided by 100 and rounded (halves to even).
    std::int32_t OutputAttenuation() const;
    void setOutputAttenuation(std::int32_t v);
    std::int32_t CurrentCaptureDevice() const { return m_captureDevice; } ///< 1-based
    void setCurrentCaptureDevice(std::int32_t v) { m_captureDevice = v; }
    std::int32_t CurrentPlaybackDevice() const { return m_playbackDevice; } ///< 1-based
    void setCurrentPlaybackDevice(std::int32_t v) { m_playbackDevice = v; }
    std::int64_t hwnd() const { return m_hwnd; }
    void sethwnd(std::int64_t v) { m_hwnd = v; }
    audio::DXEventTarget* EventForm() const { return m_eventForm; }
    void setEventForm(audio::DXEventTarget* form) { m_eventForm = form; }
    bool InAction() const { return m_inAction; }
    std::int32_t LastErr() const { return m_lastErr; }
    /// Why the last failing operation failed (device and errno or ALSA text), for the log and
    /// the command line; empty after success.
    const std::string& LastErrText() const { return m_lastErrText; }

    // ---- Public data ---------------------------------------------------------------------
    bool Prepared = false;     ///< between a successful PrepareDevices and ReleaseDevices
    std::int32_t OutDelay = 0; ///< capture blocks still to pass before playback starts
    bool OutPtrWrap = false;   ///< set each time the output ring's write position wraps

    /// Raised once per captured block with the two channel blocks (the handler may overwrite
    /// them) and SamplesPerEvent.
    std::function<void(std::int16_t* channel1, std::int16_t* channel2, std::int32_t numSamples)>
        DataReady;

    // ---- Operations ------------------------------------------------------------------------
    /// Opens the devices and creates buffers and notifications; true when Prepared.
    bool PrepareDevices();
    void ReleaseDevices();
    void StartSound();
    void StopSound();
    /// Device descriptions, device n at index n - 1; returns the highest index (count - 1),
    /// or -1 when there is no device.
    std::int32_t GetPlayDeviceNames(std::vector<std::string>& DeviceNames);
    std::int32_t GetCapDeviceNames(std::vector<std::string>& DeviceNames);
    /// Copies the staged capture block to the two channel blocks (SamplesPerEvent each).
    void Capture(std::int16_t* Channel1, std::int16_t* Channel2);
    /// Queues one block (SamplesPerEvent frames) for playback; NumSamples is not used.
    void Output(const std::int16_t* Channel1, const std::int16_t* Channel2,
                std::int32_t NumSamples);
    /// Entry point for every buffer notification; true for a capture notification. A captured
    /// block for which the owner queues nothing during DataReady leaves its ring slot silent.
    bool EventHandler(int eventid, std::int16_t* Channel1, std::int16_t* Channel2);

    // ---- Read-only views for the statistics and the tests ----------------------------------
    std::int32_t OutWritePos() const { return m_outWritePos; }
    std::int32_t OutReadPos() const { return m_outReadPos; }
    std::int32_t BytesPerCaptureEvent() const { return m_bytesPerCaptureEvent; }
    std::int32_t BytesPerOutputEvent() const { return m_bytesPerOutputEvent; }
    const std::vector<audio::NotifyPosition>& CaptureNotify() const { return m_captureNotify; }
    const std::vector<audio::NotifyPosition>& PlaybackNotify() const { return m_playbackNotify; }
    /// Seconds that StopSound waits for a buffer to report stopped before giving up.
    static constexpr double kStopTimeoutSeconds = 2.0;

private:
    bool OpenDevices();
    bool SetNotifications();
    void fail(std::int32_t err, const std::string& why);
    void advanceWritePos();
    std::int32_t ringUpperIndex() const { return 16 * m_channelsOut * m_samplesPerEvent; }

    audio::AudioBackend& m_backend;
    std::int32_t m_fSampling = 44100;
    std::int32_t m_bitsPerSample = 16;
    std::int32_t m_channelsIn = 2;
    std::int32_t m_channelsOut = 2;
    std::int32_t m_samplesPerEvent = 0;
    std::int32_t m_blocksInBuffer = 2;
    std::int32_t m_bufferRatio = 2;
    std::int32_t m_outputAttenuation = 5000;
    std::int32_t m_captureDevice = 1;
    std::int32_t m_playbackDevice = 1;
    std::int64_t m_hwnd = 0;
    audio::DXEventTarget* m_eventForm = nullptr;
    bool m_inAction = false;
    std::int32_t m_lastErr = 0;
    std::string m_lastErrText;

    std::int32_t m_bytesPerCaptureEvent = 0;
    std::int32_t m_bytesPerOutputEvent = 0;
    std::int64_t m_captureBufferBytes = 0;
    std::int64_t m_playbackBufferBytes = 0;
    std::vector<std::int16_t> m_captureStaging;
    std::vector<std::int16_t> m_outputRing;
    std::int32_t m_outWritePos = 0;
    std::int32_t m_outReadPos = 0;
    std::uint64_t m_outputCalls = 0;
    std::vector<audio::NotifyPosition> m_captureNotify;
    std::vector<audio::NotifyPosition> m_playbackNotify;
    audio::PcmFormat m_captureFormat;
    audio::PcmFormat m_playbackFormat;
    std::unique_ptr<audio::CaptureBuffer> m_captureBuffer;
    std::unique_ptr<audio::PlaybackBuffer> m_playbackBuffer;
};

} // namespace orvex
