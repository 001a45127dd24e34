// The frequency readout and its tuning controls (frame "VFO"): the nine digits (picFreqDisp
// with lbl7Seg), the zeroing buttons lblScale, the tuning-rate caption, the dial-rate preset
// button, the tuning knob, the "VFO Control" menu, and a direct frequency entry.
#pragma once

#include "PanelWidgets.h"
#include "app/TuningController.h"

#include <QDial>
#include <QLineEdit>
#include <QWidget>
#include <array>

class QMenu;

namespace orvex::ui {

/// The nine digits drawn as one widget, one accessible object named "Frequency" whose
/// description is the tuned frequency. Hovering a digit chooses the tuning step; clicks lock
/// and unlock it; the keyboard tunes (arrows, A/Z) and digits open the frequency entry.
class FrequencyDisplay final : public QWidget {
    Q_OBJECT
public:
    explicit FrequencyDisplay(app::TuningController& tuning, QWidget* parent = nullptr);
    /// Where digit i is drawn (for the pointer, and for tests).
    QRect digitRect(int i) const;
    void refresh();
    QSize sizeHint() const override;

Q_SIGNALS:
    /// A digit key or Ctrl+G: open the entry, pre-filled with `text`.
    void entryRequested(const QString& text);
    /// Right button on digit i: the "VFO Control" menu.
    void menuRequested(int digit, const QPoint& globalPos);
    /// The digits took new places (a new size).
    void digitsMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int digitAt(const QPoint& p) const;
    void layoutDigits();
    app::TuningController& m_tuning;
    std::array<QRect, 9> m_rects;
    QRect m_highRect; // the hundreds of MHz, left of digit 0
    QFont m_font;
    QString m_spoken;
};

class FrequencyPanel final : public HoverFrame {
    Q_OBJECT
public:
    FrequencyPanel(app::TuningController& tuning, app::ValuesController& values,
                   QWidget* parent = nullptr);
    void refresh();
    FrequencyDisplay* display() const { return m_display; }
    QDial* knob() const { return m_knob; }
    QLabel* rateCaption() const { return m_rate; }
    QLabel* dialRate() const { return m_dialRate; }
    QLabel* scale(int k) const { return m_scale[static_cast<std::size_t>(k)]; }
    QLineEdit* entry() const { return m_entry; }
    QMenu* vfoMenu() const { return m_menu; }
    /// Opens the direct entry with `text` already typed.
    void openEntry(const QString& text);

private:
    void submitEntry();
    void knobMoved(int value);
    void placeScale();
    void followKnob();
    bool eventFilter(QObject* watched, QEvent* event) override;

    app::TuningController& m_tuning;
    FrequencyDisplay* m_display = nullptr;
    QWidget* m_scaleRow = nullptr; // "MHz", "kHz" and "Hz", each under its digits
    std::array<QLabel*, 3> m_scale{};
    int m_highDigits = 0; // the digits left of digit 0 that the MHz label spans
    QLabel* m_rate = nullptr;
    QLabel* m_dialRate = nullptr;
    QDial* m_knob = nullptr;
    QLineEdit* m_entry = nullptr;
    QMenu* m_menu = nullptr;
    int m_menuDigit = 0;
    int m_knobLast = 0;  // the dial's value after the last move
    int m_knobShown = 0; // the knob position the dial shows
    // A press on the knob: a click (released where it was pressed) steps the knob's rate
    // presets; a drag turns it.
    QPoint m_knobPressAt;
    bool m_knobPressed = false;
    bool m_knobDragging = false;
};

/// A typed frequency: "7050" (kHz when 1000 or more, else MHz), "7.05", "7050 kHz",
/// "7.05 MHz", "7050k", "7.05M". Returns MHz, or a negative value when the text is not a
/// frequency.
double ParseTypedFrequency(const QString& text);

} // namespace orvex::ui
