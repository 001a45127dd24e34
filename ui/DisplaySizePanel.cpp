#include "DisplaySizePanel.h"

#include <QGridLayout>
#include <QRadioButton>

namespace orvex::ui {

DisplaySizePanel::DisplaySizePanel(app::WindowController& window, app::ValuesController& values,
                                   QWidget* parent)
    : HoverFrame("Display", values, app::PanelFrame::frDispMode, parent), m_window(window) {
    setObjectName("frDispMode");
    setToolTip("Set Display Size");
    const char* captions[4] = {"Ext", "Std", "Comp", "Full"};
    const char* tips[4] = {"Spectrum Display & Configuration Buttons", "All the controls",
                           "Just VFO & S Meter", "Everything + Config Button"};
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(captions[i], this);
        b->setObjectName(QString("optDisplaySize%1").arg(i));
        b->setToolTip(tips[i]);
        b->setAccessibleName(QString("Display size ") + captions[i]);
        b->setAutoExclusive(false);
        // Clicked, Space, or the accessible Toggle: the size is chosen (and shown again as the
        // window keeps it, so a button is never left ticked for a size not in force).
        OnToggled(b, [this, i](bool) {
            m_window.optDisplaySize_Click(i);
            refresh();
        });
        grid->addWidget(b, i / 2, i % 2);
        m_options[static_cast<std::size_t>(i)] = b;
    }
    connect(&window, &app::WindowController::changed, this, &DisplaySizePanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &DisplaySizePanel::refreshColour);
    refresh();
}

void DisplaySizePanel::refresh() {
    refreshColour();
    const app::WindowView& p = m_window.view();
    for (std::size_t i = 0; i < 4; ++i) {
        SetChecked(m_options[i], p.optDisplaySize[i]);
        SetTextColour(m_options[i], p.optDisplaySizeColour[i]);
    }
}

} // namespace orvex::ui
