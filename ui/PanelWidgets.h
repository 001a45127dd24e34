// Small widgets every panel of the front panel uses: the panel's colours and fonts, a frame
// whose caption lights while the pointer is well inside it, a wheel-adjustable value label,
// and helpers that set a widget's text or colour only when it changes (the panels refresh
// many times a second while receiving, and an unchanged widget must cost nothing).
#pragma once

#include "app/ValuesController.h"
#include "core/Colours.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <functional>
#include <string>
#include <vector>

namespace orvex::ui {

inline QColor ToQColor(PanelColour c) {
    return QColor::fromRgb(ToRgb(c));
}
inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

/// The panel's look: black background, cyan captions.
QString PanelStyleSheet();

/// Sets the text colour of a widget when it differs from the one it has.
void SetTextColour(QWidget* w, PanelColour c);
/// Text, tool tip and accessible description, each only when it changed.
void SetText(QLabel* l, const std::string& text);
void SetText(QAbstractButton* b, const std::string& text);
void SetToolTip(QWidget* w, const std::string& tip);
/// Checked state of a check box or option button without running its click handler.
void SetChecked(QAbstractButton* b, bool checked);

/// A group frame of the panel. Its caption lights while the pointer is well inside; moving
/// over it returns the value labels it holds to rest and clears the wheel target.
class HoverFrame : public QGroupBox {
    Q_OBJECT
public:
    HoverFrame(const QString& title, app::ValuesController& values, app::PanelFrame frame,
               QWidget* parent = nullptr);
    /// Shows the caption colour the hover controller keeps for this frame.
    void refreshColour();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    app::ValuesController& m_values;
    app::PanelFrame m_frame;
};

/// A value of the wheel table shown as a label: the pointer over it makes it the wheel
/// target, a right click restores its default, and, beyond the mouse, Up/Down (Shift coarse,
/// Ctrl fine) step it and Home restores the default when it has the keyboard focus. Screen
/// readers see its name (what it sets) and its value.
class ValueLabelWidget : public QLabel {
    Q_OBJECT
public:
    ValueLabelWidget(app::ValuesController& values, app::WheelEntry entry,
                     const QString& accessibleName, QWidget* parent = nullptr);
    app::WheelEntry entry() const { return m_entry; }
    app::ValuesController& values() const { return m_values; }
    /// Shows the entry's caption, colour and enabled state.
    void refresh();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    app::ValuesController& m_values;
    app::WheelEntry m_entry;
};

} // namespace orvex::ui

namespace orvex {
struct ButtonGroup;
struct CheckBox;
struct Slider;
} // namespace orvex

namespace orvex::ui {

/// Runs `act(checked)` on every change of a checkable button's state that the user makes: a
/// click, Space from the keyboard, and the accessible Toggle and Press actions that screen
/// readers and voice control use all change it, so all of them act alike. Changes the panel
/// makes to mirror the receiver (SetChecked) block the signal and act on nothing.
void OnToggled(QAbstractButton* button, std::function<void(bool checked)> act);

/// A row (or column) of option buttons mirroring one of the chain's button groups: captions,
/// tool tips, colours and the selected one come from the group; choosing one (clicked,
/// toggled from the keyboard or through its accessible action) calls `onClick(i)`, and the
/// buttons then show the selection in force again, so a button the receiver ignored never
/// stays lit.
class OptionButtons final : public QWidget {
    Q_OBJECT
public:
    OptionButtons(const ButtonGroup& group, const QString& objectPrefix,
                  std::function<void(int)> onClick, Qt::Orientation orientation,
                  QWidget* parent = nullptr);
    void refresh(const ButtonGroup& group);
    QAbstractButton* button(int i) const { return m_buttons[static_cast<std::size_t>(i)]; }
    int count() const { return static_cast<int>(m_buttons.size()); }

private:
    void showSelected();
    std::vector<QAbstractButton*> m_buttons;
    std::int32_t m_selected = -1;
};

/// A check box mirroring one of the chain's: caption, tool tip, value, colour, enabled.
void RefreshCheck(QAbstractButton* box, const CheckBox& state);
/// A slider or knob mirroring one of the chain's: range, position, tool tip, enabled, visible.
void RefreshSlider(QAbstractSlider* slider, const Slider& state);

} // namespace orvex::ui

namespace orvex::ui {

/// A slider of the panel that also reports its right button (reset), the pointer moving over
/// it (position along it, and its length) and losing the focus.
class PanelSlider final : public QSlider {
    Q_OBJECT
public:
    PanelSlider(Qt::Orientation o, const QString& objectName, const QString& accessibleName,
                QWidget* parent = nullptr);
    std::function<void()> onRightButton;
    std::function<void(int along, int length)> onPointer;
    std::function<void()> onFocusOut;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

/// A check box whose change by the user (OnToggled) calls `onClick(ticked)`; its state is then
/// mirrored from the receiver.
QCheckBox* MakeCheck(QWidget* parent, const QString& objectName, std::function<void(bool)> onClick);

} // namespace orvex::ui
