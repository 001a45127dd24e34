// The receiver's audio as a UDP stream, in the raw form decoders and network audio tools
// read: signed 16-bit little-endian mono samples at 48000 per second, in datagrams of at most
// 1024 samples (2048 bytes), sent as each block is output.
//
// The block path calls send(): it never blocks and never allocates. The socket is
// non-blocking and unconnected, so a stream that nobody listens to costs nothing and reports
// nothing (no "connection refused" from the far end); a datagram the system will not take
// (its buffer full, no route) is counted as lost, and the first failure is kept so that the
// caller can show it once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <vector>

namespace orvex::audio {

/// Where a stream goes: a host (an IPv4 or IPv6 address, or a name) and a UDP port.
struct UdpEndpoint {
    std::string host;
    std::uint16_t port = 0;
};

/// Parses "HOST:PORT" ("127.0.0.1:7355", "localhost:7355", "[::1]:7355"); false with `error`
/// ("HOST:PORT ... ") when it is not one. Port 1 to 65535.
bool ParseUdpEndpoint(std::string_view text, UdpEndpoint& out, std::string& error);

class UdpAudioSender {
public:
    /// Samples per datagram at most: 2048 bytes, well inside any network's packet size.
    static constexpr std::size_t kMaxDatagramSamples = 1024;

    UdpAudioSender();
    ~UdpAudioSender();
    UdpAudioSender(const UdpAudioSender&) = delete;
    UdpAudioSender& operator=(const UdpAudioSender&) = delete;

    /// Resolves "HOST:PORT" (a name is looked up here, once) and makes the socket. False with
    /// `error` saying why (a bad address, a name that does not resolve, no socket).
    bool open(const std::string& hostPort, std::string& error);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    /// "127.0.0.1:7355" as resolved (empty while closed).
    const std::string& destination() const { return m_destination; }

    /// Sends `count` samples in datagrams of at most kMaxDatagramSamples. Never blocks.
    void send(const std::int16_t* samples, std::size_t count);

    std::int64_t datagramsSent() const { return m_sent; }
    std::int64_t datagramsLost() const { return m_lost; }
    /// The first failure since open ("Network is unreachable"), empty when none.
    const std::string& firstError() const { return m_firstError; }

private:
    int m_fd = -1;
    sockaddr_storage m_address{};
    socklen_t m_addressLength = 0;
    std::string m_destination;
    std::vector<std::uint8_t> m_datagram; // one datagram's bytes, little-endian
    std::int64_t m_sent = 0, m_lost = 0;
    std::string m_firstError;
};

} // namespace orvex::audio
