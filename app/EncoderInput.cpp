#include "EncoderInput.h"

#include "radio/ad9951.h"

namespace orvex::app {

EncoderInput::EncoderInput(ad9951& vfo, QObject* parent)
    : QObject(parent), m_vfo(vfo), m_knob(vfo), m_decoder(vfo, m_knob) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { drain(); });
    m_port = vfo.Lines().SerialPort();
    vfo.Lines().setSerialPortHook([this](SerialLines* port) { portChanged(port); });
}

EncoderInput::~EncoderInput() {
    m_vfo.Lines().setSerialPortHook({});
    m_wake.reset();
    m_watcher.reset();
}

void EncoderInput::setEnabled(bool on) {
    m_decoder.EnableShaftEncoder = on;
    follow(m_port);
}

void EncoderInput::setAutoRate(bool on) {
    m_decoder.ShaftAutoRate = on;
}

void EncoderInput::portChanged(SerialLines* port) {
    m_port = port;
    follow(port);
}

// One watcher for the port while the encoder is on: a new port, or none, ends the old one
// (its thread reads the port, so it goes before the port closes).
void EncoderInput::follow(SerialLines* port) {
    ModemLineSource* lines = enabled() && port ? port->modemLines() : nullptr;
    if (m_watcher && lines == m_lines && m_watcher->mode() != ModemLineWatcher::Mode::Ended) return;
    if (m_wake) {
        // Off before the watcher's descriptor closes. Inside a drain (a port closed while a
        // step tuned) this runs within the notifier's own event: it goes once that is over.
        m_wake->setEnabled(false);
        if (m_draining)
            m_wake.release()->deleteLater();
        else
            m_wake.reset();
    }
    m_watcher.reset();
    m_retry.stop();
    m_lines = lines;
    m_decoder.restart();
    if (!lines) return;
    m_watcher = std::make_unique<ModemLineWatcher>(*lines);
    if (m_watcher->wakeFd() < 0) {
        m_watcher.reset();
        Q_EMIT message(QString::fromStdString(lines->device()) +
                       ": the shaft encoder cannot be followed (no eventfd)");
        return;
    }
    // The watcher's wake-up descriptor turns into one event on this object's thread, which
    // drains the queue there.
    m_wake = std::make_unique<QSocketNotifier>(m_watcher->wakeFd(), QSocketNotifier::Read);
    connect(m_wake.get(), &QSocketNotifier::activated, this, &EncoderInput::drain);
    ++m_started;
}

void EncoderInput::drain() {
    if (m_draining || !m_watcher) return; // a drain in progress takes these records too
    // Quiet while the records wait or are drained: the descriptor stays readable until the
    // drain rearms, and the tuning's waits run the event loop.
    m_wake->setEnabled(false);
    if (m_vfo.Sending()) {
        // A tuning word is on its way (these are events its waits let run): a step now would
        // be dropped, so the records wait until it has gone.
        m_retry.start(1);
        return;
    }
    m_draining = true;
    const std::uint64_t before = m_decoder.stepsUp() + m_decoder.stepsDown();
    for (bool more = true; more && m_watcher;) {
        m_watcher->rearm();
        more = false;
        ModemChange change;
        // A step tunes, and the tuning lets events run: the port may close meanwhile.
        while (m_watcher && m_watcher->pop(change)) {
            more = true;
            if (change.kind == ModemChange::Kind::Note)
                Q_EMIT message(QString::fromStdString(m_watcher->noteText(change.note)));
            else
                m_decoder.modemChanged(change);
        }
    }
    m_draining = false;
    if (m_wake) m_wake->setEnabled(true);
    if (m_decoder.stepsUp() + m_decoder.stepsDown() != before) Q_EMIT stepped();
}

bool EncoderInput::tmrShaft_Timer() {
    if (!enabled() || m_vfo.Sending()) return false; // pending steps wait for the next tick
    const double before = m_vfo.TunedFreq();
    m_decoder.tmrShaft_Timer();
    return m_vfo.TunedFreq() != before;
}

} // namespace orvex::app
