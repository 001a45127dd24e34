#include "ModemLines.h"

#include <chrono>
#include <csignal>
#include <mutex>

namespace orvex {
namespace {

void IgnoreWake(int) {}

} // namespace

int ModemWakeSignal() {
    // A real-time signal well clear of the ones glibc keeps for itself; nothing else in the
    // program uses them.
    static const int signalNumber = [] {
        const int n = SIGRTMIN + 6;
        struct sigaction action {};
        action.sa_handler = &IgnoreWake;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: a kernel wait the signal lands in returns EINTR
        sigaction(n, &action, nullptr);
        return n;
    }();
    return signalNumber;
}

SoftModemLines::SoftModemLines(std::string device) : m_device(std::move(device)) {
    m_lines.counted = true;
}

ModemLineSource::Wait SoftModemLines::waitForChange(std::int64_t timeoutNs) {
    std::unique_lock lock(m_mutex);
    if (!m_waitSupported) return Wait::Refused;
    if (m_readFails) return Wait::Failed;
    const std::uint32_t cts = m_lines.ctsChanges, dsr = m_lines.dsrChanges;
    const std::uint64_t wakeUps = m_wakeUps;
    const bool changed = m_changed.wait_for(lock, std::chrono::nanoseconds(timeoutNs), [&] {
        return m_lines.ctsChanges != cts || m_lines.dsrChanges != dsr || m_wakeUps != wakeUps;
    });
    if (m_readFails) return Wait::Failed;
    return changed && m_wakeUps == wakeUps ? Wait::Changed : Wait::TimedOut;
}

void SoftModemLines::interrupt() {
    {
        std::lock_guard lock(m_mutex);
        ++m_wakeUps;
    }
    m_changed.notify_all();
}

bool SoftModemLines::read(ModemSnapshot& snapshot) {
    std::lock_guard lock(m_mutex);
    if (m_readFails) return false;
    snapshot = m_lines;
    if (!m_countsSupported) {
        snapshot.counted = false;
        snapshot.ctsChanges = snapshot.dsrChanges = 0;
    }
    return true;
}

std::string SoftModemLines::error() const {
    std::lock_guard lock(m_mutex);
    if (m_readFails) return "cannot read CTS and DSR on " + m_device + ": the port is gone";
    if (!m_waitSupported) return "the port cannot wait for CTS and DSR changes";
    return {};
}

void SoftModemLines::set(bool cts, bool dsr) {
    std::lock_guard lock(m_mutex);
    change(cts, dsr, cts != m_lines.cts ? 1u : 0u, dsr != m_lines.dsr ? 1u : 0u);
}

void SoftModemLines::toggle(bool cts, int times) {
    std::lock_guard lock(m_mutex);
    const bool odd = (times & 1) != 0;
    const auto n = static_cast<std::uint32_t>(times);
    if (cts)
        change(odd ? !m_lines.cts : m_lines.cts, m_lines.dsr, n, 0);
    else
        change(m_lines.cts, odd ? !m_lines.dsr : m_lines.dsr, 0, n);
}

void SoftModemLines::apply(bool cts, bool dsr, std::uint32_t ctsChanges, std::uint32_t dsrChanges) {
    std::lock_guard lock(m_mutex);
    change(cts, dsr, ctsChanges, dsrChanges);
}

void SoftModemLines::change(bool cts, bool dsr, std::uint32_t ctsChanges,
                            std::uint32_t dsrChanges) {
    m_lines.cts = cts;
    m_lines.dsr = dsr;
    m_lines.ctsChanges += ctsChanges;
    m_lines.dsrChanges += dsrChanges;
    if (ctsChanges + dsrChanges > 0) m_changed.notify_all();
}

ModemSnapshot SoftModemLines::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

void SoftModemLines::setWaitSupported(bool supported) {
    {
        std::lock_guard lock(m_mutex);
        m_waitSupported = supported;
    }
    m_changed.notify_all();
}

void SoftModemLines::setCountsSupported(bool supported) {
    std::lock_guard lock(m_mutex);
    m_countsSupported = supported;
}

void SoftModemLines::setReadFails(bool fails) {
    {
        std::lock_guard lock(m_mutex);
        m_readFails = fails;
    }
    m_changed.notify_all();
}

} // namespace orvex
