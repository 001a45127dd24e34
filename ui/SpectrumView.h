// The spectrum display surface (picScope): shows the analyser's finished picture and nothing
// else; the pointer goes to the spectrum controller (PointerSurface), and with wheel tuning over
// the scope the pointer's height chooses the step. Screen readers see it as "Spectrum display".
#pragma once

#include "PointerSurface.h"

namespace orvex {
class clsSpectrumAnalyser;
}

namespace orvex::ui {

class SpectrumView final : public PointerSurface {
    Q_OBJECT
public:
    SpectrumView(app::SpectrumController& spectrum, clsSpectrumAnalyser& analyser,
                 QWidget* parent = nullptr);
    QSize sizeHint() const override { return {800, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    clsSpectrumAnalyser& m_analyser;
};

} // namespace orvex::ui
