// Statistics (frame "Radio Stats"): input and output peaks, AGC gain, the synthesiser's output
// frequency, the processing load and the block time, switched by "Stats".
#pragma once

#include "PanelWidgets.h"
#include "app/StatsController.h"

#include <array>

class QCheckBox;

namespace orvex::ui {

class StatsPanel final : public HoverFrame {
    Q_OBJECT
public:
    StatsPanel(app::StatsController& stats, app::ValuesController& values,
               QWidget* parent = nullptr);
    void refresh();
    QLabel* value(int i) const { return m_values[static_cast<std::size_t>(i)]; }

private:
    app::StatsController& m_stats;
    QCheckBox* m_on;
    std::array<QLabel*, 6> m_values{};
};

} // namespace orvex::ui
