#include "SpectrumEngines.h"

namespace orvex::ui {

SpectrumEngines::SpectrumEngines(SettingsStore* store) : m_waterfall(store), m_analyser(store) {
    m_analyser.AttachWaterfall(&m_waterfall);
}

void SpectrumEngines::setWaterfallOn(bool on) {
    // Switched back on, it starts empty rather than with lines from before the pause.
    if (on && !m_waterfall.Enabled()) m_waterfall.Clear();
    m_waterfall.setEnabled(on);
}

} // namespace orvex::ui
