// The waterfall under the spectrum: shows the waterfall engine's lines on the trace's own
// frequency axis, so a column here is the frequency the trace shows above it; the pointer
// acts as over the trace (read-out, click-to-tune). Screen readers see it as "Waterfall".
#pragma once

#include "PointerSurface.h"

#include <functional>

namespace orvex {
class Waterfall;
}

namespace orvex::ui {

class WaterfallView final : public PointerSurface {
    Q_OBJECT
public:
    /// `traceWidth` gives the width of the trace's surface, whose axis the columns follow.
    WaterfallView(app::SpectrumController& spectrum, Waterfall& waterfall,
                  std::function<int()> traceWidth, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    double traceX(double x) const override;

private:
    Waterfall& m_waterfall;
    std::function<int()> m_traceWidth;
};

} // namespace orvex::ui
