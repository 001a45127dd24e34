#include "WindowController.h"

#include "app/RadioSession.h"
#include "core/Format.h"
#include "radio/ad9951.h"

#include <QDateTime>

namespace orvex::app {

WindowController::WindowController(RadioSession& session, const LifeCycle& life)
    : m_session(session), m_life(life) {}

void WindowController::optDisplaySize_Click(std::int32_t index) {
    if (index < 0 || index > 3 || m_life.unloaded) return;
    for (std::int32_t i = 0; i < 4; ++i)
        m_view.optDisplaySize[static_cast<std::size_t>(i)] = i == index;
    applyDisplaySize(index);
    Q_EMIT changed();
}

void WindowController::restoreDisplaySize(std::int32_t index, bool ticked) {
    if (index < 0 || index > 3) return;
    m_view.optDisplaySize[static_cast<std::size_t>(index)] = ticked;
    if (ticked) applyDisplaySize(index);
}

void WindowController::applyDisplaySize(std::int32_t index) {
    m_view.optDisplaySizeColour.fill(kColourResting);
    m_view.optDisplaySizeColour[static_cast<std::size_t>(index)] = kColourSelected;
    m_view.DisplaySize = index;
    // The small sizes hide the statistics and the spectrum, so neither runs; the large ones
    // let their switches decide.
    m_session.showStatistics(showsEverything());
    if (m_sizeHook) m_sizeHook();
}

void WindowController::setCaption(const std::string& text) {
    m_view.Caption = text;
    Q_EMIT changed();
}

void WindowController::setCaptionShown(bool shown) {
    setCaption(shown ? kWindowCaption : "");
}

void WindowController::refreshVFOLabels() {
    if (!m_session.hasVFO()) return;
    const ad9951& v = m_session.vfo();
    m_view.lblCLKINFreq = FormatNumber(v.ClkIn(), "#0.000 000");
    m_view.lblIFFreq = FormatNumber(v.IFFreq(), "#0.000 000;(#0.000 000)");
    Q_EMIT changed();
}

void WindowController::tmrClock_Timer() {
    const std::string text = QDateTime::currentDateTimeUtc().toString("HH:mm:ss").toStdString();
    if (text == m_view.lblClock) return;
    m_view.lblClock = text;
    Q_EMIT changed();
}

} // namespace orvex::app
