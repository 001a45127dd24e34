#include "UdpAudioSender.h"

#include "core/Error.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <unistd.h>

namespace orvex::audio {

bool ParseUdpEndpoint(std::string_view text, UdpEndpoint& out, std::string& error) {
    const std::string what = "'" + std::string(text) + "' is not HOST:PORT (e.g. 127.0.0.1:7355)";
    std::string_view host, port;
    if (text.starts_with('[')) {
        // [IPv6]:PORT
        const std::size_t close = text.find("]:");
        if (close == std::string_view::npos) {
            error = what;
            return false;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string_view::npos || text.find(':') != colon) {
            error = what;
            return false;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    unsigned long value = 0;
    const bool digits =
        !port.empty() && port.size() <= 5 &&
        std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) value = std::stoul(std::string(port));
    if (host.empty() || !digits || value < 1 || value > 65535) {
        error = what + (digits && !host.empty() ? ": the port is 1 to 65535" : "");
        return false;
    }
    out.host = std::string(host);
    out.port = static_cast<std::uint16_t>(value);
    return true;
}

UdpAudioSender::UdpAudioSender() : m_datagram(2 * kMaxDatagramSamples) {}

UdpAudioSender::~UdpAudioSender() {
    close();
}

bool UdpAudioSender::open(const std::string& hostPort, std::string& error) {
    close();
    UdpEndpoint endpoint;
    if (!ParseUdpEndpoint(hostPort, endpoint, error)) return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port);
    if (const int rc = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
        rc != 0 || found == nullptr) {
        error = "UDP audio to " + hostPort + ": cannot find host '" + endpoint.host +
                "': " + (rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc));
        return false;
    }
    const int fd = ::socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrnoText("UDP audio to " + hostPort + ": cannot make a socket", errno);
        ::freeaddrinfo(found);
        return false;
    }
    std::memcpy(&m_address, found->ai_addr, found->ai_addrlen);
    m_addressLength = found->ai_addrlen;
    char text[INET6_ADDRSTRLEN] = "?";
    const void* raw =
        found->ai_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
    ::inet_ntop(found->ai_family, raw, text, sizeof text);
    m_destination = found->ai_family == AF_INET6 ? "[" + std::string(text) + "]:" + port
                                                 : std::string(text) + ":" + port;
    ::freeaddrinfo(found);
    m_fd = fd;
    m_sent = m_lost = 0;
    m_firstError.clear();
    return true;
}

void UdpAudioSender::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_destination.clear();
}

void UdpAudioSender::send(const std::int16_t* samples, std::size_t count) {
    if (m_fd < 0) return;
    for (std::size_t at = 0; at < count; at += kMaxDatagramSamples) {
        const std::size_t n = std::min(kMaxDatagramSamples, count - at);
        std::uint8_t* out = m_datagram.data();
        for (std::size_t i = 0; i < n; ++i) {
            const auto v = static_cast<std::uint16_t>(samples[at + i]);
            out[2 * i] = static_cast<std::uint8_t>(v);
            out[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        const ssize_t sent =
            ::sendto(m_fd, out, 2 * n, MSG_DONTWAIT | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&m_address), m_addressLength);
        if (sent == static_cast<ssize_t>(2 * n)) {
            ++m_sent;
            continue;
        }
        ++m_lost;
        if (m_firstError.empty())
            m_firstError = sent < 0 ? std::strerror(errno) : "a datagram was cut short";
    }
}

} // namespace orvex::audio
