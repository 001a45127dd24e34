#include "SpectrumPanel.h"

#include "SpectrumView.h"
#include "WaterfallView.h"
#include "display/Waterfall.h"
#include "display/clsSpectrumAnalyser.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace orvex::ui {
namespace {

using app::ScopeCheck;
using app::ScopeSlider;

// The value labels of the panel: entry, object name, accessible name.
struct ValueSpec {
    app::WheelEntry entry;
    const char* objectName;
    const char* name;
};
constexpr ValueSpec kValues[] = {
    {app::WheelEntry::Chn1Gain, "lblScopeChn1Gain", "Y1 gain"},
    {app::WheelEntry::Chn1Shift, "lblScopeChn1Shift", "Y1 shift"},
    {app::WheelEntry::Chn2Gain, "lblScopeChn2Gain", "Y2 gain"},
    {app::WheelEntry::Chn2Shift, "lblScopeChn2Shift", "Y2 shift"},
    {app::WheelEntry::ScopeWidth, "lblScopeXWidth", "Sweep width"},
    {app::WheelEntry::ScopeCentre, "lblScopeXCentre", "Sweep centre"},
    {app::WheelEntry::SpectrumSmooth, "lblSpectrumSmooth", "Spectrum smoothing"},
    {app::WheelEntry::WaterfallMin, "lblWaterfallMinDb", "Waterfall lowest level"},
    {app::WheelEntry::WaterfallMax, "lblWaterfallMaxDb", "Waterfall highest level"},
};

void Show(QWidget* w, bool shown) {
    if (w->isHidden() == shown) w->setHidden(!shown);
}

} // namespace

SpectrumPanel::SpectrumPanel(app::SpectrumController& spectrum, app::ValuesController& values,
                             clsSpectrumAnalyser& analyser, Waterfall& waterfall, QWidget* parent)
    : HoverFrame("Spectrum", values, app::PanelFrame::Count, parent), m_spectrum(spectrum) {
    setObjectName("frSpectrum");
    const app::SpectrumControlsView& c = spectrum.view();

    m_on =
        MakeCheck(this, "chkSpectrumAnalyser", [this](bool on) { m_spectrum.setAnalyserOn(on); });
    m_on->setText("On");
    m_on->setToolTip("Click to turn on Spectrum Display");
    m_on->setAccessibleName("Spectrum display on");
    m_modes = new OptionButtons(
        c.chkScopeMode, "chkScopeMode", [this](int i) { m_spectrum.chkScopeMode_Click(i); },
        Qt::Horizontal, this);
    m_sources = new OptionButtons(
        c.optSpectrumSource, "optSpectrumSource",
        [this](int i) { m_spectrum.optSpectrumSource_Click(i); }, Qt::Horizontal, this);

    const auto check = [this](const char* name, ScopeCheck box) {
        return MakeCheck(this, name, [this, box](bool on) { m_spectrum.scopeCheckClick(box, on); });
    };
    m_fast = check("chkSmoothSpectrum", ScopeCheck::chkSmoothSpectrum);
    m_lin = check("chkLog", ScopeCheck::chkLog);
    m_autoGain = check("chkSpectrumAutoGain", ScopeCheck::chkSpectrumAutoGain);
    m_showFilters = check("chkScopeShowFilters", ScopeCheck::chkScopeShowFilters);
    m_waterfallOn = check("chkWaterfall", ScopeCheck::chkWaterfall);
    m_chnOn[0] = check("chkChn1On", ScopeCheck::chkChn1On);
    m_chnOn[1] = check("chkChn2On", ScopeCheck::chkChn2On);
    for (int i = 0; i < 2; ++i)
        m_trigOn[static_cast<std::size_t>(i)] =
            MakeCheck(this, QString("chkTrigOn%1").arg(i + 1),
                      [this, i](bool) { m_spectrum.chkTrigOn_Click(i + 1); });
    for (std::size_t i = 0; i < m_ctl.size(); ++i) {
        m_ctl[i] = new QLabel(this);
        m_ctl[i]->setObjectName(QString("lblScopeCtl%1").arg(i));
    }
    for (const ValueSpec& v : kValues) {
        auto* l = new ValueLabelWidget(values, v.entry, v.name, this);
        l->setObjectName(v.objectName);
        l->setMinimumWidth(44);
        m_values.push_back(l);
    }
    const auto slider = [this](Qt::Orientation o, const char* name, const char* accessible,
                               ScopeSlider which) {
        auto* s = new PanelSlider(o, name, accessible, this);
        connect(s, &QSlider::valueChanged, this,
                [this, which](int v) { m_spectrum.scopeSliderChanged(which, v); });
        s->onRightButton = [this, which] { m_spectrum.scopeSliderRightButton(which); };
        return s;
    };
    m_sldWidth = slider(Qt::Horizontal, "sldXWidth", "Sweep width slider", ScopeSlider::sldXWidth);
    m_sldCentre =
        slider(Qt::Horizontal, "sldXCentre", "Sweep centre slider", ScopeSlider::sldXCentre);
    m_sldGain =
        slider(Qt::Vertical, "sldSpectrumGain", "Trace gain slider", ScopeSlider::sldSpectrumGain);
    m_sldGain->setInvertedAppearance(true); // more gain towards the top
    m_sldGain->setInvertedControls(true);

    m_display = new SpectrumView(spectrum, analyser, this);
    m_waterfall = new WaterfallView(
        spectrum, waterfall, [this] { return m_display->width(); }, this);
    analyser.setChangedHandler([this] { m_display->update(); });
    waterfall.setChangedHandler([this] {
        if (m_waterfall->isVisible()) m_waterfall->update();
    });

    // Controls on the left.
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(m_on);
    top->addWidget(m_modes, 1);

    m_yMode = new QGroupBox("Y Mode", this);
    m_yMode->setObjectName("frScopeYMode");
    m_yMode->setAccessibleName("Y Mode");
    auto* y = new QHBoxLayout(m_yMode);
    y->setContentsMargins(4, 0, 4, 2);
    y->addWidget(m_fast);
    y->addWidget(m_lin);
    y->addWidget(value(app::WheelEntry::SpectrumSmooth));

    auto* yRow = new QHBoxLayout;
    yRow->setSpacing(4);
    yRow->addWidget(m_yMode);
    yRow->addWidget(m_autoGain);
    yRow->addWidget(m_showFilters);
    yRow->addStretch(1);

    auto* channels = new QGridLayout;
    channels->setSpacing(2);
    // Y1: on, gain, shift, trigger; Y2 the same (captions 0-2 and 3-5).
    const int captionOf[2][3] = {{0, 1, 2}, {5, 4, 3}};
    const app::WheelEntry valueOf[2][2] = {{app::WheelEntry::Chn1Gain, app::WheelEntry::Chn1Shift},
                                           {app::WheelEntry::Chn2Gain, app::WheelEntry::Chn2Shift}};
    for (int r = 0; r < 2; ++r) {
        channels->addWidget(m_chnOn[static_cast<std::size_t>(r)], r, 0);
        channels->addWidget(m_ctl[static_cast<std::size_t>(captionOf[r][0])], r, 1);
        channels->addWidget(value(valueOf[r][0]), r, 2);
        channels->addWidget(m_ctl[static_cast<std::size_t>(captionOf[r][1])], r, 3);
        channels->addWidget(value(valueOf[r][1]), r, 4);
        channels->addWidget(m_ctl[static_cast<std::size_t>(captionOf[r][2])], r, 5);
        channels->addWidget(m_trigOn[static_cast<std::size_t>(r)], r, 6);
    }
    channels->setColumnStretch(7, 1);

    m_sweep = new QGroupBox("Sweep", this);
    m_sweep->setObjectName("frScopeSweep");
    m_sweep->setAccessibleName("Sweep");
    auto* sweep = new QGridLayout(m_sweep);
    sweep->setContentsMargins(4, 0, 4, 2);
    sweep->setSpacing(2);
    sweep->addWidget(value(app::WheelEntry::ScopeWidth), 0, 0);
    sweep->addWidget(m_ctl[6], 0, 1);
    sweep->addWidget(m_sldWidth, 0, 2);
    sweep->addWidget(value(app::WheelEntry::ScopeCentre), 1, 0);
    sweep->addWidget(m_ctl[7], 1, 1);
    sweep->addWidget(m_sldCentre, 1, 2);
    sweep->setColumnStretch(2, 1);

    m_waterfallRange = new QWidget(this);
    auto* range = new QHBoxLayout(m_waterfallRange);
    range->setContentsMargins(0, 0, 0, 0);
    range->setSpacing(4);
    range->addWidget(m_waterfallOn);
    range->addWidget(value(app::WheelEntry::WaterfallMin));
    range->addWidget(new QLabel("to", this));
    range->addWidget(value(app::WheelEntry::WaterfallMax));
    range->addStretch(1);

    auto* controlColumn = new QWidget(this);
    auto* controls = new QVBoxLayout(controlColumn);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->setSpacing(3);
    controls->addLayout(top);
    controls->addWidget(m_sources);
    controls->addLayout(yRow);
    controls->addLayout(channels);
    controls->addWidget(m_sweep);
    controls->addWidget(m_waterfallRange);
    controls->addStretch(1);

    // The picture on the right: the gain slider beside the trace, the waterfall under it.
    // The trace takes the waterfall's room while it is hidden, so the panel keeps its size.
    auto* pictureColumn = new QWidget(this);
    auto* picture = new QGridLayout(pictureColumn);
    picture->setContentsMargins(0, 0, 0, 0);
    picture->setSpacing(2);
    picture->addWidget(m_sldGain, 0, 0);
    picture->addWidget(m_display, 0, 1);
    picture->addWidget(m_waterfall, 1, 1);
    picture->setRowStretch(0, 1);
    picture->setColumnStretch(1, 1);

    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 4);
    box->setSpacing(6);
    box->addWidget(controlColumn);
    box->addWidget(pictureColumn, 1);
    // The column is as wide as it gets in any mode (captions set, every control shown), so
    // the picture keeps its width when the mode changes; the trace takes the waterfall's
    // room while it is hidden, so the panel keeps its height.
    refresh();
    for (QWidget* w : controlColumn->findChildren<QWidget*>())
        if (w->parentWidget() == controlColumn || w->parentWidget() == m_yMode ||
            w->parentWidget() == m_sweep)
            w->setHidden(false);
    controlColumn->setFixedWidth(controlColumn->sizeHint().width());
    pictureColumn->setMinimumHeight(m_display->sizeHint().height() + m_waterfall->height() +
                                    picture->spacing());
    connect(&spectrum, &app::SpectrumController::changed, this, &SpectrumPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &SpectrumPanel::refresh);
    refresh();
}

ValueLabelWidget* SpectrumPanel::value(app::WheelEntry entry) const {
    for (ValueLabelWidget* l : m_values)
        if (l->entry() == entry) return l;
    return nullptr;
}

void SpectrumPanel::mouseMoveEvent(QMouseEvent* event) {
    // Between the controls: away from the picture and from every value label.
    m_spectrum.scopeLeave();
    event->accept();
}

void SpectrumPanel::refresh() {
    m_display->refreshReadout();
    m_waterfall->refreshReadout();
    const app::SpectrumControlsView& c = m_spectrum.view();
    SetChecked(m_on, c.chkSpectrumAnalyser);
    m_modes->refresh(c.chkScopeMode);
    m_sources->refresh(c.optSpectrumSource);
    RefreshCheck(m_fast, c.chkSmoothSpectrum);
    RefreshCheck(m_lin, c.chkLog);
    RefreshCheck(m_autoGain, c.chkSpectrumAutoGain);
    RefreshCheck(m_showFilters, c.chkScopeShowFilters);
    RefreshCheck(m_waterfallOn, c.chkWaterfall);
    RefreshCheck(m_chnOn[0], c.chkChn1On);
    RefreshCheck(m_chnOn[1], c.chkChn2On);
    for (std::size_t i = 0; i < 2; ++i) {
        RefreshCheck(m_trigOn[i], c.chkTrigOn[i]);
        Show(m_trigOn[i], c.TriggerVisible);
    }
    for (std::size_t i = 0; i < m_ctl.size(); ++i)
        SetText(m_ctl[i], c.lblScopeCtl[i]);
    Show(m_ctl[2], c.TriggerVisible);
    Show(m_ctl[3], c.TriggerVisible);
    Show(m_ctl[7], c.CentreVisible);
    Show(value(app::WheelEntry::ScopeCentre), c.CentreVisible);
    Show(m_yMode, c.frScopeYModeVisible);
    if (m_yMode->isEnabled() != c.frScopeYModeEnabled) m_yMode->setEnabled(c.frScopeYModeEnabled);
    Show(value(app::WheelEntry::SpectrumSmooth), c.SmoothLabelVisible);
    Show(m_showFilters, c.ShowFiltersVisible);
    Show(m_sweep, c.frScopeSweepVisible);
    if (m_sweep->title() != QString::fromStdString(c.frScopeSweepCaption))
        m_sweep->setTitle(QString::fromStdString(c.frScopeSweepCaption));
    Show(m_waterfall, c.WaterfallVisible);
    Show(m_waterfallRange, c.chkScopeMode.Selected == 0);
    RefreshSlider(m_sldWidth, c.sldXWidth);
    RefreshSlider(m_sldCentre, c.sldXCentre);
    RefreshSlider(m_sldGain, c.sldSpectrumGain);
    for (ValueLabelWidget* l : m_values)
        l->refresh();
}

} // namespace orvex::ui
