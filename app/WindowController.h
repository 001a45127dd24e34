// The window as a whole: its caption, the display size (which rows the window shows, and
// with them whether the statistics and the spectrum run), the UTC clock, and the synthesiser's
// clock and IF figures beside it.
//
// Runs on the user-interface thread; the window, the display-size panel and the clock panel
// show view() and repaint on changed().
#pragma once

#include "app/LifeCycle.h"
#include "core/Colours.h"
#include "core/Version.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orvex::app {

class RadioSession;

/// The window's caption and the version its label shows.
inline constexpr const char* kWindowCaption = "OrvexSDR - Software Defined Radio for Brisko";
inline constexpr const char* kVersion = kProgramVersion;

/// What the window, the display-size panel and the clock panel show.
struct WindowView {
    std::string Caption = kWindowCaption;
    std::string lblCLKINFreq, lblIFFreq; ///< synthesiser clock and IF, MHz
    std::string lblClock;                ///< UTC, HH:mm:ss
    std::array<bool, 4> optDisplaySize{};
    std::array<PanelColour, 4> optDisplaySizeColour{kColourResting, kColourResting, kColourResting,
                                                    kColourResting};
    std::int32_t DisplaySize = 1; ///< the size shown: 0 Ext, 1 Std, 2 Comp, 3 Full
};

class WindowController final : public QObject {
    Q_OBJECT
public:
    WindowController(RadioSession& session, const LifeCycle& life);

    const WindowView& view() const { return m_view; }
    /// The display sizes 0 Ext, 1 Std, 2 Comp, 3 Full.
    void optDisplaySize_Click(std::int32_t index);
    /// A display-size box as the settings restore it: ticked boxes apply their size.
    void restoreDisplaySize(std::int32_t index, bool ticked);
    /// The size shows the spectrum and the statistics (Ext and Full).
    bool showsEverything() const { return m_view.DisplaySize == 0 || m_view.DisplaySize == 3; }
    /// Called when the display size changed what runs (the spectrum, the statistics).
    void setSizeHook(std::function<void()> hook) { m_sizeHook = std::move(hook); }

    /// The caption the DDS controller reports, and "Caption Bar ?" (shown or empty).
    void setCaption(const std::string& text);
    void setCaptionShown(bool shown);
    bool captionShown() const { return !m_view.Caption.empty(); }
    /// The clock and IF figures show what the DDS controller uses now.
    void refreshVFOLabels();
    void tmrClock_Timer();

Q_SIGNALS:
    void changed();

private:
    void applyDisplaySize(std::int32_t index);
    RadioSession& m_session;
    const LifeCycle& m_life;
    WindowView m_view;
    std::function<void()> m_sizeHook;
};

} // namespace orvex::app
