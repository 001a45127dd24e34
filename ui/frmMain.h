// The front panel: one window made of panels (power, frequency, mode, filters, IF filter,
// notch and noise reducer, AGC, output level, S-meter, statistics, display size, clock, bands
// and presets, recording, spectrum, configuration), each built on its own controller of the
// core. The window runs the core's start-up, owns the drawing engines it shows (the core only
// points at them), forwards the wheel (an application-wide event filter, thinned by the gear
// ratio) and the hover reset, shows the caption and the display size, and shuts down through
// the core on Close, on the window's close box, and on SIGTERM or SIGINT.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <memory>

class QLabel;
class QVBoxLayout;

namespace orvex {
class SMeter;
class Waterfall;
class clsSpectrumAnalyser;
} // namespace orvex

namespace orvex::app {
class ReceiverCore;
}

namespace orvex::ui {

class FrequencyPanel;
class ConfigPanel;
class PowerPanel;
class ModePanel;
class FilterPanel;
class IFFilterPanel;
class NotchPanel;
class AGCPanel;
class LevelPanel;
class StatsPanel;
class SMeterPanel;
class DisplaySizePanel;
class ClockPanel;
class SpectrumPanel;
class BandsPanel;
class RecordPanel;
class frmLog;

class frmMain final : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(app::ReceiverCore& core, QWidget* parent = nullptr);
    ~frmMain() override;

    /// Runs the core's start-up and builds the panels. False when the program cannot run (no
    /// band plan; the message has been shown).
    bool start();

    app::ReceiverCore& core() { return m_core; }
    FrequencyPanel* frequency() const { return m_frequency; }
    ConfigPanel* config() const { return m_config; }
    PowerPanel* power() const { return m_power; }
    ModePanel* mode() const { return m_mode; }
    FilterPanel* filters() const { return m_filters; }
    IFFilterPanel* ifFilter() const { return m_ifFilter; }
    NotchPanel* notch() const { return m_notch; }
    AGCPanel* agc() const { return m_agc; }
    LevelPanel* level() const { return m_level; }
    StatsPanel* stats() const { return m_stats; }
    SMeterPanel* meter() const { return m_meter; }
    DisplaySizePanel* displaySize() const { return m_displaySize; }
    ClockPanel* clock() const { return m_clock; }
    BandsPanel* bands() const { return m_bands; }
    RecordPanel* record() const { return m_record; }
    frmLog* log() const { return m_log; }
    SMeter* meterEngine() const { return m_meterEngine.get(); }
    clsSpectrumAnalyser* analyserEngine() const { return m_analyserEngine.get(); }
    Waterfall* waterfallEngine() const { return m_waterfallEngine.get(); }
    SpectrumPanel* spectrum() const { return m_spectrum; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void buildPanels();
    void refresh();
    void applyLayout();

    app::ReceiverCore& m_core;
    QWidget* m_splash = nullptr;
    QLabel* m_splashLabel = nullptr;
    frmLog* m_log = nullptr;
    // The drawing engines the panels show; they go after the panels.
    std::unique_ptr<clsSpectrumAnalyser> m_analyserEngine;
    std::unique_ptr<Waterfall> m_waterfallEngine;
    std::unique_ptr<SMeter> m_meterEngine;
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_row[5] = {};
    FrequencyPanel* m_frequency = nullptr;
    ConfigPanel* m_config = nullptr;
    PowerPanel* m_power = nullptr;
    ModePanel* m_mode = nullptr;
    FilterPanel* m_filters = nullptr;
    IFFilterPanel* m_ifFilter = nullptr;
    NotchPanel* m_notch = nullptr;
    AGCPanel* m_agc = nullptr;
    LevelPanel* m_level = nullptr;
    StatsPanel* m_stats = nullptr;
    SMeterPanel* m_meter = nullptr;
    DisplaySizePanel* m_displaySize = nullptr;
    ClockPanel* m_clock = nullptr;
    SpectrumPanel* m_spectrum = nullptr;
    BandsPanel* m_bands = nullptr;
    RecordPanel* m_record = nullptr;
    qint64 m_lastWheelTime = -1;
    QPointF m_lastWheelAt;
    QPoint m_lastWheelDelta;
    QPointer<QWidget> m_lastWheelWidget;
    int m_wheelRemainder = 0;
    bool m_started = false;
};

} // namespace orvex::ui
