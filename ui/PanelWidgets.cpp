#include "PanelWidgets.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>

namespace orvex::ui {

QString PanelStyleSheet() {
    return QStringLiteral(
        "QWidget { background-color: #101418; color: #00c0c0; }"
        "QGroupBox { border: 1px solid #2c4040; border-radius: 3px; margin-top: 0.7em;"
        " padding: 2px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
        "QPushButton, QRadioButton, QCheckBox { padding: 1px 3px; }"
        "QPushButton { border: 1px solid #2c4040; border-radius: 2px; background: #182020; }"
        "QPushButton:checked { background: #203030; }"
        "QPushButton:focus, QRadioButton:focus, QCheckBox:focus, QLabel:focus"
        " { border: 1px dotted #00ffff; }"
        "QCheckBox::indicator, QRadioButton::indicator { width: 10px; height: 10px;"
        " border: 1px solid #00a0a0; background: #000000; }"
        "QRadioButton::indicator { border-radius: 6px; }"
        "QCheckBox::indicator:checked, QRadioButton::indicator:checked { background: #00e0e0; }"
        "QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { border-color: #305050; }"
        "QLabel[frameShape=\"6\"] { background: #000000; }"
        "QToolTip { color: #000000; background-color: #ffffe0; }");
}

void SetTextColour(QWidget* w, PanelColour c) {
    const QColor colour = ToQColor(c);
    QPalette p = w->palette();
    if (p.color(QPalette::WindowText) == colour && p.color(QPalette::ButtonText) == colour &&
        p.color(QPalette::Text) == colour)
        return;
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    p.setColor(QPalette::Text, colour);
    w->setPalette(p);
    // Style sheets override palettes; the widget's own sheet carries the colour.
    w->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
}

void SetText(QLabel* l, const std::string& text) {
    const QString q = Q(text);
    if (l->text() != q) l->setText(q);
}

void SetText(QAbstractButton* b, const std::string& text) {
    const QString q = Q(text);
    if (b->text() != q) b->setText(q);
}

void SetToolTip(QWidget* w, const std::string& tip) {
    const QString q = Q(tip);
    if (w->toolTip() != q) w->setToolTip(q);
}

void SetChecked(QAbstractButton* b, bool checked) {
    if (b->isChecked() == checked) return;
    const bool blocked = b->blockSignals(true);
    b->setChecked(checked);
    b->blockSignals(blocked);
}

// ---- HoverFrame ------------------------------------------------------------------------------

HoverFrame::HoverFrame(const QString& title, app::ValuesController& values, app::PanelFrame frame,
                       QWidget* parent)
    : QGroupBox(title, parent), m_values(values), m_frame(frame) {
    setMouseTracking(true);
    setAccessibleName(title);
}

void HoverFrame::refreshColour() {
    if (m_frame == app::PanelFrame::Count) return;
    SetTextColour(this, m_values.view().frameColour(m_frame));
}

void HoverFrame::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_values.frameHover(m_frame, p.x(), p.y(), width(), height());
    QGroupBox::mouseMoveEvent(event);
}

// ---- ValueLabelWidget ------------------------------------------------------------------------

namespace {

// Screen readers read a value label as a value with its range, and can set it.
class AccessibleValueLabel final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleValueLabel(ValueLabelWidget* w)
        : QAccessibleWidget(w, QAccessible::Indicator), m_w(w) {}
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value || t == QAccessible::Description) return m_w->text();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return static_cast<double>(label().Value); }
    void setCurrentValue(const QVariant& value) override {
        values().valueSet(m_w->entry(), value.toFloat());
    }
    QVariant maximumValue() const override { return static_cast<double>(label().Max); }
    QVariant minimumValue() const override { return static_cast<double>(label().Min); }
    QVariant minimumStepSize() const override {
        return static_cast<double>(values().table().entry(m_w->entry()).FineStep);
    }

private:
    app::ValuesController& values() const { return m_w->values(); }
    const ValueLabel& label() const { return values().table().label(m_w->entry()); }
    ValueLabelWidget* m_w;
};

QAccessibleInterface* ValueLabelFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("orvex::ui::ValueLabelWidget") && object->isWidgetType())
        return new AccessibleValueLabel(static_cast<ValueLabelWidget*>(object));
    return nullptr;
}

} // namespace

ValueLabelWidget::ValueLabelWidget(app::ValuesController& values, app::WheelEntry entry,
                                   const QString& accessibleName, QWidget* parent)
    : QLabel(parent), m_values(values), m_entry(entry) {
    static const bool installed = [] {
        QAccessible::installFactory(ValueLabelFactory);
        return true;
    }();
    (void)installed;
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(Qt::AlignCenter);
    setAccessibleName(accessibleName);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    refresh();
}

void ValueLabelWidget::refresh() {
    const ValueLabel& l = m_values.table().label(m_entry);
    SetText(this, l.Caption);
    SetTextColour(this, l.Colour);
    if (!l.ToolTip.empty()) SetToolTip(this, l.ToolTip);
    if (isEnabled() != l.Enabled) setEnabled(l.Enabled);
    if (accessibleDescription() != text()) {
        setAccessibleDescription(text());
        QAccessibleValueChangeEvent event(this, static_cast<double>(l.Value));
        QAccessible::updateAccessibility(&event);
    }
}

void ValueLabelWidget::enterEvent(QEnterEvent* event) {
    m_values.valueHover(m_entry);
    QLabel::enterEvent(event);
}

void ValueLabelWidget::leaveEvent(QEvent* event) {
    m_values.valueLeave(m_entry);
    QLabel::leaveEvent(event);
}

void ValueLabelWidget::mouseMoveEvent(QMouseEvent* event) {
    if (m_values.target() != m_entry) m_values.valueHover(m_entry);
    event->accept();
}

void ValueLabelWidget::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::RightButton) m_values.valueRightClick(m_entry);
    event->accept();
}

void ValueLabelWidget::keyPressEvent(QKeyEvent* event) {
    app::WheelMessage m;
    m.shift = event->modifiers() & Qt::ShiftModifier;
    m.ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Plus:
        m.forward = true;
        m_values.valueWheel(m_entry, m);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Minus:
        m.forward = false;
        m_values.valueWheel(m_entry, m);
        break;
    case Qt::Key_Home:
        m_values.valueRightClick(m_entry);
        break;
    default:
        QLabel::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace orvex::ui

#include <QAbstractSlider>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex::ui {

OptionButtons::OptionButtons(const ButtonGroup& group, const QString& objectPrefix,
                             std::function<void(int)> onClick, Qt::Orientation orientation,
                             QWidget* parent)
    : QWidget(parent) {
    QBoxLayout* box = orientation == Qt::Horizontal
                          ? static_cast<QBoxLayout*>(new QHBoxLayout(this))
                          : static_cast<QBoxLayout*>(new QVBoxLayout(this));
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    for (std::size_t i = 0; i < group.Buttons.size(); ++i) {
        auto* b = new QPushButton(this);
        b->setCheckable(true);
        b->setObjectName(objectPrefix + QString::number(i));
        b->setFocusPolicy(Qt::StrongFocus);
        // Option buttons keep their size when a panel grows; sliders take the room.
        if (orientation == Qt::Horizontal)
            b->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        const int index = static_cast<int>(i);
        OnToggled(b, [this, onClick, index](bool) {
            onClick(index);
            showSelected();
        });
        box->addWidget(b);
        m_buttons.push_back(b);
    }
    if (orientation == Qt::Horizontal) box->addStretch(1);
    refresh(group);
}

void OptionButtons::showSelected() {
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        SetChecked(m_buttons[i], m_selected == static_cast<std::int32_t>(i));
}

void OptionButtons::refresh(const ButtonGroup& group) {
    m_selected = group.Selected;
    for (std::size_t i = 0; i < m_buttons.size() && i < group.Buttons.size(); ++i) {
        QAbstractButton* b = m_buttons[i];
        const PanelButton& s = group.Buttons[i];
        SetText(b, s.Caption);
        SetToolTip(b, s.ToolTip);
        // The accessible name is the caption without its shortcut marker.
        QString name = Q(s.Caption).remove('&').trimmed();
        if (name.isEmpty()) name = Q(s.ToolTip);
        if (b->accessibleName() != name) b->setAccessibleName(name);
        // A button with no caption is one the panel does not offer (the AGC of a preset).
        if (b->isHidden() != s.Caption.empty()) b->setHidden(s.Caption.empty());
        SetTextColour(b, s.Colour);
        SetChecked(b, group.Selected == static_cast<std::int32_t>(i));
        if (b->isEnabled() != s.Enabled) b->setEnabled(s.Enabled);
    }
}

void RefreshCheck(QAbstractButton* box, const CheckBox& state) {
    if (!state.Caption.empty()) SetText(box, state.Caption);
    SetToolTip(box, state.ToolTip);
    QString name = Q(state.Caption).remove('&').trimmed();
    if (name.isEmpty()) name = Q(state.ToolTip);
    if (box->accessibleName() != name) box->setAccessibleName(name);
    SetChecked(box, state.Value);
    SetTextColour(box, state.Colour);
    if (box->isEnabled() != state.Enabled) box->setEnabled(state.Enabled);
}

void RefreshSlider(QAbstractSlider* slider, const Slider& state) {
    const bool blocked = slider->blockSignals(true);
    if (slider->minimum() != state.Min || slider->maximum() != state.Max)
        slider->setRange(state.Min, state.Max);
    if (slider->value() != state.Value) slider->setValue(state.Value);
    slider->blockSignals(blocked);
    SetToolTip(slider, state.ToolTip);
    if (slider->isEnabled() != state.Enabled) slider->setEnabled(state.Enabled);
    if (slider->isHidden() == state.Visible) slider->setHidden(!state.Visible);
}

} // namespace orvex::ui

#include <QCheckBox>

namespace orvex::ui {

PanelSlider::PanelSlider(Qt::Orientation o, const QString& objectName,
                         const QString& accessibleName, QWidget* parent)
    : QSlider(o, parent) {
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PanelSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (onRightButton) onRightButton();
        event->accept();
        return;
    }
    QSlider::mousePressEvent(event);
}

void PanelSlider::mouseMoveEvent(QMouseEvent* event) {
    if (onPointer) {
        const QPoint p = event->position().toPoint();
        if (orientation() == Qt::Vertical)
            onPointer(p.y(), height());
        else
            onPointer(p.x(), width());
    }
    QSlider::mouseMoveEvent(event);
}

void PanelSlider::focusOutEvent(QFocusEvent* event) {
    if (onFocusOut) onFocusOut();
    QSlider::focusOutEvent(event);
}

void OnToggled(QAbstractButton* button, std::function<void(bool)> act) {
    QObject::connect(button, &QAbstractButton::toggled, button,
                     [act = std::move(act)](bool checked) { act(checked); });
}

QCheckBox* MakeCheck(QWidget* parent, const QString& objectName,
                     std::function<void(bool)> onClick) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(objectName);
    OnToggled(box, std::move(onClick));
    return box;
}

} // namespace orvex::ui
