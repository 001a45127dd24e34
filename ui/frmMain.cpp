#include "frmMain.h"

#include "AGCPanel.h"
#include "BandsPanel.h"
#include "ClockPanel.h"
#include "ConfigPanel.h"
#include "DisplaySizePanel.h"
#include "FilterPanel.h"
#include "FrequencyPanel.h"
#include "IFFilterPanel.h"
#include "LevelPanel.h"
#include "ModePanel.h"
#include "NotchPanel.h"
#include "PowerPanel.h"
#include "RecordPanel.h"
#include "SMeterPanel.h"
#include "SpectrumPanel.h"
#include "StatsPanel.h"
#include "app/ReceiverCore.h"
#include "display/SMeter.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"
#include "frmLog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace orvex::ui {
namespace {

QWidget* Row(QWidget* parent, std::initializer_list<QWidget*> widgets) {
    auto* row = new QWidget(parent);
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(4);
    for (QWidget* w : widgets)
        box->addWidget(w);
    return row;
}

} // namespace

frmMain::frmMain(app::ReceiverCore& core, QWidget* parent) : QWidget(parent), m_core(core) {
    setObjectName("frmMain");
    setWindowTitle(app::ReceiverCore::kCaption);
    setAccessibleName("OrvexSDR front panel");
    setStyleSheet(PanelStyleSheet());
    setMouseTracking(true);
}

frmMain::~frmMain() {
    qApp->removeEventFilter(this);
    if (!m_core.unloaded()) m_core.Form_Unload();
    // The panels go before the engines they show.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        delete child;
}

bool frmMain::start() {
    // The trace log window opens with the first trace line.
    m_core.trace().setLineAdded([this](const std::string& line) {
        if (!m_log) {
            m_log = new frmLog(m_core.trace(), this);
            m_log->show();
            return; // frmLog lists what the trace already holds
        }
        m_log->addLine(QString::fromStdString(line));
    });
    app::FrontPanelHooks hooks;
    hooks.splash = [this](const std::string& text) {
        if (text.empty()) {
            delete m_splash;
            m_splash = nullptr;
            m_splashLabel = nullptr;
            return;
        }
        if (!m_splash) {
            m_splash = new QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
            m_splash->setStyleSheet(PanelStyleSheet());
            m_splashLabel = new QLabel(m_splash);
            m_splashLabel->setObjectName("lblSplash");
            m_splashLabel->setMinimumWidth(280);
            m_splashLabel->setAlignment(Qt::AlignCenter);
            auto* box = new QVBoxLayout(m_splash);
            box->addWidget(new QLabel("<b>OrvexSDR</b>", m_splash), 0, Qt::AlignCenter);
            box->addWidget(m_splashLabel);
            m_splash->show();
        }
        m_splashLabel->setText(QString::fromStdString(text));
    };
    hooks.newDisplayEngines = [this] {
        // The engines restore their settings from the store; the core saves them at shutdown.
        m_waterfallEngine = std::make_unique<Waterfall>(&m_core.store());
        m_analyserEngine = std::make_unique<clsSpectrumAnalyser>(&m_core.store());
        m_analyserEngine->AttachWaterfall(m_waterfallEngine.get());
        m_meterEngine = std::make_unique<SMeter>();
        m_meterEngine->SetupSMeter();
        return app::DisplayEngines{m_analyserEngine.get(), m_waterfallEngine.get(),
                                   m_meterEngine.get()};
    };
    if (!m_core.Form_Initialize(hooks)) return false;
    buildPanels();
    connect(&m_core.window(), &app::WindowController::changed, this, &frmMain::refresh);
    connect(&m_core.stats(), &app::StatsController::changed, this, &frmMain::applyLayout);
    connect(&m_core, &app::ReceiverCore::closeRequested, this, [this] {
        hide();
        if (m_log) m_log->close();
        QCoreApplication::quit();
    });
    qApp->installEventFilter(this);
    m_started = true;
    refresh();
    return true;
}

void frmMain::buildPanels() {
    app::ReceiverCore& c = m_core;
    app::ValuesController& values = c.values();
    m_power = new PowerPanel(c.power(), values, this);
    m_frequency = new FrequencyPanel(c.tuning(), values, this);
    m_meter = new SMeterPanel(c.stats(), *m_meterEngine, values, this);
    m_clock = new ClockPanel(c.window(), this);
    m_mode = new ModePanel(c.controls(), values, this);
    m_filters = new FilterPanel(c.controls(), values, this);
    m_ifFilter = new IFFilterPanel(c.controls(), values, this);
    m_notch = new NotchPanel(c.controls(), values, this);
    m_agc = new AGCPanel(c.controls(), values, this);
    m_level = new LevelPanel(c.controls(), values, this);
    m_stats = new StatsPanel(c.stats(), values, this);
    m_displaySize = new DisplaySizePanel(c.window(), values, this);
    m_bands = new BandsPanel(c.bands(), this);
    m_record = new RecordPanel(c.record(), this);

    auto* meterColumn = new QWidget(this);
    auto* meterBox = new QVBoxLayout(meterColumn);
    meterBox->setContentsMargins(0, 0, 0, 0);
    meterBox->addWidget(m_meter);
    meterBox->addWidget(m_clock);

    // The display size and the recording share a column between the statistics and the bands.
    auto* sizeColumn = new QWidget(this);
    auto* sizeBox = new QVBoxLayout(sizeColumn);
    sizeBox->setContentsMargins(0, 0, 0, 0);
    sizeBox->setSpacing(4);
    sizeBox->addWidget(m_displaySize);
    sizeBox->addWidget(m_record, 1); // down to the row's foot, as its neighbours

    m_row[0] = Row(this, {m_power, m_frequency, meterColumn});
    m_row[1] = Row(this, {m_mode, m_filters, m_ifFilter, m_notch, m_agc, m_level});
    m_row[2] = Row(this, {m_stats, sizeColumn, m_bands});
    m_spectrum =
        new SpectrumPanel(c.spectrum(), values, *m_analyserEngine, *m_waterfallEngine, this);
    m_row[3] = m_spectrum;
    m_config = new ConfigPanel(c.config(), this);
    m_row[4] = m_config;

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(4);
    for (QWidget* row : m_row)
        m_layout->addWidget(row);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMain::refresh() {
    const QString caption = QString::fromStdString(m_core.window().view().Caption);
    if (windowTitle() != caption) setWindowTitle(caption);
    applyLayout();
}

// The display sizes: the window ends after the row that closes each size.
void frmMain::applyLayout() {
    const int size = m_core.window().view().DisplaySize;
    // Rows shown: Comp the VFO and meter; Std every control; Ext the spectrum too; Full all.
    const int lastRow = size == 2 ? 0 : size == 1 ? 2 : size == 0 ? 3 : 4;
    for (int r = 0; r < 5; ++r)
        if (m_row[r]->isHidden() == (r <= lastRow)) m_row[r]->setHidden(r > lastRow);
    const bool statsEnabled = size == 0 || size == 3 || !m_core.stats().state().PerfStatsOn;
    if (m_stats->isEnabled() != statsEnabled) m_stats->setEnabled(statsEnabled);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && watched->isWidgetType() && !m_core.unloaded()) {
        // The wheel hook: every wheel message of the program passes here (and goes on to its
        // widget unchanged). A message a widget ignores travels on to its parents and passes
        // here again for each: it counts once. High-resolution wheels send parts of a notch;
        // a notch is 120.
        auto* wheel = static_cast<QWheelEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        const qint64 t = static_cast<qint64>(wheel->timestamp());
        const QPointF at = wheel->globalPosition();
        const bool sameMessage =
            t == m_lastWheelTime && at == m_lastWheelAt && wheel->angleDelta() == m_lastWheelDelta;
        if (sameMessage && m_lastWheelWidget && widget != m_lastWheelWidget &&
            widget->isAncestorOf(m_lastWheelWidget))
            return false;
        m_lastWheelTime = t;
        m_lastWheelAt = at;
        m_lastWheelDelta = wheel->angleDelta();
        m_lastWheelWidget = widget;
        m_wheelRemainder += wheel->angleDelta().y();
        while (m_wheelRemainder >= 120 || m_wheelRemainder <= -120) {
            app::WheelMessage m;
            m.forward = m_wheelRemainder > 0;
            m.shift = wheel->modifiers() & Qt::ShiftModifier;
            m.ctrl = wheel->modifiers() & Qt::ControlModifier;
            m.x = static_cast<std::int32_t>(wheel->position().x());
            m.y = static_cast<std::int32_t>(wheel->position().y());
            m_wheelRemainder += m.forward ? -120 : 120;
            m_core.values().wheelHook(m);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::mouseMoveEvent(QMouseEvent* event) {
    m_core.values().DarkenControls();
    QWidget::mouseMoveEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The close box shuts down exactly as the Close button does.
    if (!m_core.unloaded() && m_started) {
        hide();
        m_core.power().optPwr_Click(2);
    }
    event->accept();
}

} // namespace orvex::ui
