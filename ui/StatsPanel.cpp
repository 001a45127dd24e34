#include "StatsPanel.h"

#include <QCheckBox>
#include <QGridLayout>

namespace orvex::ui {

StatsPanel::StatsPanel(app::StatsController& stats, app::ValuesController& values, QWidget* parent)
    : HoverFrame("Radio Stats", values, app::PanelFrame::frStats, parent), m_stats(stats) {
    setObjectName("frStats");
    m_on = MakeCheck(this, "chkPerfStatsOn", [this](bool on) { m_stats.setPerfStats(on); });
    // lblStatsVal index -> its caption; value 5 (block time) sits under the load.
    const char* captions[6] = {"Peak In", "Peak Out", "AGC Gain", "LO", "CPU Util", ""};
    const char* names[6] = {"Peak in",      "Peak out", "AGC gain",
                            "LO frequency", "CPU use",  "Block time"};
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    grid->addWidget(m_on, 0, 0, 1, 2);
    for (int i = 0; i < 6; ++i) {
        auto* v = new QLabel(this);
        v->setObjectName(QString("lblStatsVal%1").arg(i));
        v->setAccessibleName(names[i]);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setMinimumWidth(120);
        m_values[static_cast<std::size_t>(i)] = v;
        grid->addWidget(new QLabel(captions[i], this), i + 1, 0);
        grid->addWidget(v, i + 1, 1);
    }
    // lblStatsVal 9 to 11: rows for per-thread figures. The chain runs on one thread, the
    // window's, so they hold a dash.
    for (int t = 1; t <= 3; ++t) {
        auto* v = new QLabel("-", this);
        v->setObjectName(QString("lblStatsVal%1").arg(8 + t));
        v->setAccessibleName(QString("Thread %1").arg(t));
        v->setAccessibleDescription("not used: the receiver runs on one thread");
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(new QLabel(QString("Thread%1").arg(t), this), 6 + t, 0);
        grid->addWidget(v, 6 + t, 1);
    }
    connect(&stats, &app::StatsController::changed, this, &StatsPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &StatsPanel::refreshColour);
    refresh();
}

void StatsPanel::refresh() {
    refreshColour();
    const app::StatsView& p = m_stats.view();
    RefreshCheck(m_on, m_stats.state().chkPerfStatsOn);
    for (int i : {0, 1, 2, 3, 4, 5})
        SetText(m_values[static_cast<std::size_t>(i)], p.lblStatsVal[static_cast<std::size_t>(i)]);
    SetTextColour(m_values[4], p.CPUColour);
    for (QLabel* v : m_values)
        if (v->accessibleDescription() != v->text()) v->setAccessibleDescription(v->text());
}

} // namespace orvex::ui
