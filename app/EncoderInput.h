// EncoderInput: the shaft encoder of the receiver session, from the port's lines to the tuning.
//
// It owns the tuning knob (TuningKnob, which the window's dial shares) and the decoder
// (ShaftEncoder), and follows the DDS controller's serial port: while the encoder is enabled
// and a serial port with CTS and DSR is open, a ModemLineWatcher thread follows those lines.
// The port closing or changing (the configuration dialog, the simulated/real switch, Close,
// shutdown) ends the thread first; the next port starts a new one.
//
// Delivery: the watcher thread only queues records and makes its wake-up descriptor readable;
// a QSocketNotifier turns that into one event on the thread this object lives on (the
// user-interface thread), which drains every record and runs the decoder there. Without automatic
// rate each step moves the knob, which tunes at once; with it, tmrShaft_Timer (the owner's 30 ms
// timer) tunes by the pending steps.
//
// A tuning word is sent with waits that let other events run. A drain that would start while
// a word is on its way waits for it (a retry 1 ms later), and a tick then keeps its pending
// steps, so no step is dropped by the DDS controller's re-entrancy guard.
#pragma once

#include "radio/ModemLineWatcher.h"
#include "radio/ShaftEncoder.h"
#include "radio/TuningKnob.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

namespace orvex {
class ad9951;
class ModemLineSource;
class SerialLines;
} // namespace orvex

namespace orvex::app {

class EncoderInput final : public QObject {
    Q_OBJECT
public:
    /// Follows the serial port of `vfo`, which must outlive this object.
    explicit EncoderInput(ad9951& vfo, QObject* parent = nullptr);
    /// Ends the watcher and lets go of the controller's port.
    ~EncoderInput() override;

    TuningKnob& knob() { return m_knob; }
    ShaftEncoder& decoder() { return m_decoder; }

    /// Option "EnableShaftEncoder": the lines are followed while it is on.
    bool enabled() const { return m_decoder.EnableShaftEncoder; }
    void setEnabled(bool on);
    /// Option "ShaftAutoRate".
    bool autoRate() const { return m_decoder.ShaftAutoRate; }
    void setAutoRate(bool on);

    /// tmrShaft: tunes by the pending steps. True when the frequency changed.
    bool tmrShaft_Timer();

    /// The watcher following the port now, or nullptr.
    const ModemLineWatcher* watcher() const { return m_watcher.get(); }
    /// Watchers started since creation (one per port followed).
    int watchersStarted() const { return m_started; }

Q_SIGNALS:
    /// Encoder steps moved the knob (and tuned) or set pending steps.
    void stepped();
    /// A line for the log: the driver refuses to report changes (the lines are polled), keeps
    /// no change counts, or the port stopped answering.
    void message(const QString& text);

private:
    void portChanged(SerialLines* port);
    void follow(SerialLines* port);
    void drain();

    ad9951& m_vfo;
    TuningKnob m_knob;
    ShaftEncoder m_decoder;
    SerialLines* m_port = nullptr;
    ModemLineSource* m_lines = nullptr; // what the watcher reads
    std::unique_ptr<ModemLineWatcher> m_watcher;
    std::unique_ptr<QSocketNotifier> m_wake; // the watcher's wakeFd on this thread
    QTimer m_retry;
    bool m_draining = false;
    int m_started = 0;
};

} // namespace orvex::app
