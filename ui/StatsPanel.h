// Statistics (frame "Radio Stats"): input and output peaks, AGC gain, the synthesiser's output
// frequency, the processing load and the block time, switched by "Stats".
#pragma once

#include "PanelWidgets.h"

#include <array>

class QCheckBox;

namespace orvex::ui {

class StatsPanel final : public HoverFrame {
    Q_OBJECT
public:
    explicit StatsPanel(app::ReceiverCore& core, QWidget* parent = nullptr);
    void refresh(unsigned areas);
    QLabel* value(int i) const { return m_values[static_cast<std::size_t>(i)]; }

private:
    app::ReceiverCore& m_core;
    QCheckBox* m_on;
    std::array<QLabel*, 6> m_values{};
};

} // namespace orvex::ui
