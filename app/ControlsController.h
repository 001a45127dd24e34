// The receiver's controls on the window: demodulation mode and image, the AF filter (presets,
// edges, dynamic filter, music), the IF filter, the notch and noise reducer, the AGC and the
// output level with mute. Every handler goes to the receiver through RadioSession's verbs; the
// panels show the chain's own front-panel state (state()) and repaint on changed(), which
// follows every change of the controls, whoever made it (a preset, a remote client, the
// dynamic filter after a block).
//
// It installs the apply procedures of the chain's wheel-adjustable values (the filter and IF
// edges, noise reducer, level, notch and AGC labels) and its part of the hover reset.
#pragma once

#include "app/LifeCycle.h"
#include "app/RadioSession.h"

#include <QObject>
#include <cstdint>

namespace orvex::app {

class ValuesController;

class ControlsController final : public QObject {
    Q_OBJECT
public:
    ControlsController(RadioSession& session, ValuesController& values, const LifeCycle& life);

    /// "Form_Load : Initialising MouseOverS": the chain's labels join the wheel table.
    void bindValues();

    const ReceiveState& state() const { return m_session.state(); }

    void optMode_Click(std::int32_t index);     ///< 0 AM .. 5 BC
    void optFilter_Click(std::int32_t index);   ///< preset 0..4
    void optIFFilter_Click(std::int32_t index); ///< 0 Off, 1 Man, 2 Track
    void optNotch_Click(std::int32_t index);    ///< 0 Man, 1 Auto
    void optAGC_Click(std::int32_t index);      ///< 0 Off .. 3 Slow
    /// A check box of these panels clicked: its handler runs when the value changes.
    void setCheck(ChainCheck box, bool ticked);
    /// A slider or knob moved; the right button on one (back to its default).
    void sliderChanged(ChainControl control, std::int32_t index, std::int32_t position);
    void sliderRightButton(ChainControl control, std::int32_t index = 0);
    /// The pointer over filter-edge slider i at y of a slider `length` long (twips), and the
    /// slider losing the focus: the edge's captions light and go back to rest.
    void filterSliderPointer(std::int32_t index, std::int32_t y, std::int32_t length);
    void filterSliderLostFocus(std::int32_t index);

    /// Repaints the panels (a change made outside the verbs, such as start-up).
    void refresh() { Q_EMIT changed(); }

Q_SIGNALS:
    void changed();

private:
    bool running() const { return !m_life.unloaded; }
    RadioSession& m_session;
    ValuesController& m_values;
    const LifeCycle& m_life;
};

} // namespace orvex::app
