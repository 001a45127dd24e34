#include "FrequencyPanel.h"

#include "core/MessageSink.h"

#include <QAccessible>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orvex::ui {
namespace {

// Digit groups of the readout: tens and units of MHz, three of kHz, three of Hz, tenths.
constexpr int kGroupGap[9] = {0, 0, 1, 0, 0, 1, 0, 0, 1}; // a gap before digit i

// Clickable caption label.
class ClickLabel final : public QLabel {
public:
    ClickLabel(const QString& text, std::function<void()> onClick, QWidget* parent = nullptr)
        : QLabel(text, parent), m_onClick(std::move(onClick)) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) m_onClick();
        e->accept();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return) {
            m_onClick();
            e->accept();
            return;
        }
        QLabel::keyPressEvent(e);
    }

private:
    std::function<void()> m_onClick;
};

} // namespace

double ParseTypedFrequency(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*([0-9]+(?:[.,][0-9]*)?|[.,][0-9]+)\s*(k|khz|m|mhz|hz)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    if (!m.hasMatch()) return -1.0;
    QString number = m.captured(1);
    number.replace(',', '.');
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (!ok) return -1.0;
    const QString unit = m.captured(2).toLower();
    if (unit == "hz") return v / 1e6;
    if (unit.startsWith('k')) return v / 1000.0;
    if (unit.startsWith('m')) return v;
    return v >= 1000.0 ? v / 1000.0 : v;
}

// ---- FrequencyDisplay --------------------------------------------------------------------------

FrequencyDisplay::FrequencyDisplay(app::TuningController& tuning, QWidget* parent)
    : QWidget(parent), m_tuning(tuning) {
    setObjectName("picFreqDisp");
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName("Frequency");
    setToolTip("Point at a digit to tune in its steps; click it to lock the step. Type a "
               "frequency (or Ctrl+G) to enter one. Up/Down or A/Z tune, Left/Right choose the "
               "step.");
    m_font = QFont("DejaVu Sans Mono");
    m_font.setBold(true);
    m_font.setStyleHint(QFont::Monospace);
    setMinimumHeight(48);
    setAutoFillBackground(false);
}

QSize FrequencyDisplay::sizeHint() const {
    return {330, 62};
}

void FrequencyDisplay::resizeEvent(QResizeEvent* event) {
    layoutDigits();
    QWidget::resizeEvent(event);
}

void FrequencyDisplay::layoutDigits() {
    const int h = height();
    m_font.setPixelSize(std::max(12, h * 7 / 10));
    const QFontMetrics fm(m_font);
    const int dw = fm.horizontalAdvance('8') + 2;
    const int gap = std::max(4, dw / 3);
    // Room for the hundreds of MHz before the nine digits (blank below 100 MHz).
    const int total = 10 * dw + 3 * gap;
    int x = std::max(0, (width() - total) / 2);
    m_highRect = QRect(0, (h - fm.height()) / 2, x + dw, fm.height());
    x += dw;
    for (int i = 0; i < 9; ++i) {
        x += kGroupGap[i] * gap;
        m_rects[static_cast<std::size_t>(i)] = QRect(x, (h - fm.height()) / 2, dw, fm.height());
        x += dw;
    }
    Q_EMIT digitsMoved();
}

QRect FrequencyDisplay::digitRect(int i) const {
    return m_rects[static_cast<std::size_t>(std::clamp(i, 0, 8))];
}

int FrequencyDisplay::digitAt(const QPoint& p) const {
    for (int i = 0; i < 9; ++i)
        if (m_rects[static_cast<std::size_t>(i)].contains(p)) return i;
    return -1;
}

void FrequencyDisplay::refresh() {
    const QString spoken = Q(m_tuning.model().spokenFrequency());
    if (spoken != m_spoken) {
        m_spoken = spoken;
        setAccessibleDescription(spoken);
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
    update();
}

void FrequencyDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0));
    p.setFont(m_font);
    const app::TuningModel& t = m_tuning.model();
    p.setPen(ToQColor(app::kDigitColour));
    p.drawText(m_highRect, Qt::AlignRight | Qt::AlignVCenter, Q(t.lbl7SegHigh));
    for (int i = 0; i < 9; ++i) {
        const QRect r = m_rects[static_cast<std::size_t>(i)];
        p.setPen(ToQColor(t.digitColour[static_cast<std::size_t>(i)]));
        p.drawText(r, Qt::AlignCenter, Q(t.lbl7Seg[static_cast<std::size_t>(i)]));
        if (i == 2 || i == 5) // decimal point of MHz, separator of kHz
            p.drawText(QRect(r.left() - r.width() / 2, r.top(), r.width() / 2, r.height()),
                       Qt::AlignCenter, i == 2 ? "." : ".");
    }
    if (t.Highlighted >= 0 && t.Highlighted < 9) {
        // shpTuneStep: a frame under the digit that sets the step.
        const QRect r = m_rects[static_cast<std::size_t>(t.Highlighted)];
        p.setPen(QPen(ToQColor(app::kDigitSelected), 2));
        p.drawRect(r.adjusted(-1, r.height() / 8, 1, 1));
    }
    if (hasFocus()) {
        p.setPen(QPen(QColor(0, 255, 255), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void FrequencyDisplay::mouseMoveEvent(QMouseEvent* event) {
    const int i = digitAt(event->position().toPoint());
    if (i >= 0) {
        m_tuning.digitHover(i);
    } else {
        if (!hasFocus() && window()->isActiveWindow()) setFocus(Qt::MouseFocusReason);
        m_tuning.readoutHover();
    }
}

void FrequencyDisplay::mousePressEvent(QMouseEvent* event) {
    const int i = digitAt(event->position().toPoint());
    setFocus(Qt::MouseFocusReason);
    if (i < 0) return;
    if (event->button() == Qt::LeftButton)
        m_tuning.digitClick(i);
    else if (event->button() == Qt::RightButton)
        Q_EMIT menuRequested(i, event->globalPosition().toPoint());
}

void FrequencyDisplay::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_tuning.readoutMouseUp(true);
    if (event->button() == Qt::RightButton) m_tuning.readoutMouseUp(false);
}

void FrequencyDisplay::mouseDoubleClickEvent(QMouseEvent* event) {
    const int i = digitAt(event->position().toPoint());
    if (i >= 0 && event->button() == Qt::LeftButton) m_tuning.digitDoubleClick(i);
}

void FrequencyDisplay::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_G && (event->modifiers() & Qt::ControlModifier))) {
        Q_EMIT entryRequested(QString());
        return;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(event->modifiers() & Qt::ControlModifier)) {
        Q_EMIT entryRequested(event->text());
        return;
    }
    std::int32_t code = 0;
    switch (key) {
    case Qt::Key_Left:
        code = app::kKeyLeft;
        break;
    case Qt::Key_Right:
        code = app::kKeyRight;
        break;
    case Qt::Key_Up:
        code = app::kKeyUp;
        break;
    case Qt::Key_Down:
        code = app::kKeyDown;
        break;
    case Qt::Key_A:
        code = app::kKeyA;
        break;
    case Qt::Key_Z:
        code = app::kKeyZ;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    m_tuning.readoutKeyPress(code);
    event->accept();
}

void FrequencyDisplay::leaveEvent(QEvent* event) {
    // The wheel over the knob or anything else beside the readout never tunes by a digit.
    m_tuning.readoutHover();
    QWidget::leaveEvent(event);
}

void FrequencyDisplay::keyReleaseEvent(QKeyEvent* event) {
    // Auto-repeat sends a release before each repeated press; only the real release counts.
    if (event->isAutoRepeat()) return;
    m_tuning.readoutKeyRelease();
}

// ---- FrequencyPanel ----------------------------------------------------------------------------

FrequencyPanel::FrequencyPanel(app::TuningController& tuning, app::ValuesController& values,
                               QWidget* parent)
    : HoverFrame("VFO", values, app::PanelFrame::frFreqCtl, parent), m_tuning(tuning) {
    setObjectName("frFreqCtl");
    m_display = new FrequencyDisplay(tuning, this);
    const char* scaleNames[3] = {"MHz", "kHz", "Hz"};
    m_scaleRow = new QWidget(this);
    m_scaleRow->installEventFilter(this);
    for (int k = 0; k < 3; ++k) {
        auto* l = new ClickLabel(
            scaleNames[k], [this, k] { m_tuning.lblScale_Click(k); }, m_scaleRow);
        l->setObjectName(QString("lblScale%1").arg(k));
        l->setAlignment(Qt::AlignCenter);
        l->setToolTip(QString("Click to set the %1 digits to zero").arg(scaleNames[k]));
        l->setAccessibleName(QString("Zero the %1 digits").arg(scaleNames[k]));
        m_scale[static_cast<std::size_t>(k)] = l;
    }
    m_rate = new ClickLabel(
        "", [this] { m_tuning.lblTuningRate_Click(); }, this);
    m_rate->setObjectName("lblTuningRate");
    m_rate->setAccessibleName("Tuning rate");
    m_dialRate = new ClickLabel(
        "", [this] { m_tuning.picTuneDial_Click(); }, this);
    m_dialRate->setObjectName("lblTuneDialRate");
    m_dialRate->setAccessibleName("Knob tuning rate");
    m_dialRate->setToolTip("Click for the next knob tuning rate (1 kHz down to 1 Hz)");
    m_dialRate->setFrameShape(QFrame::Panel);
    m_dialRate->setFrameShadow(QFrame::Raised);
    m_dialRate->setAlignment(Qt::AlignCenter);

    m_knob = new QDial(this);
    m_knob->setObjectName("dialtuner");
    m_knob->setAccessibleName("Tuning knob");
    m_knob->setToolTip("Turn to tune: the locked step, or 100 Hz while unlocked");
    m_knob->setMaximum(100);
    m_knob->setMinimum(0);
    m_knob->setNotchesVisible(false);
    m_knob->setWrapping(true);
    m_knob->setFixedSize(56, 56);
    connect(m_knob, &QDial::valueChanged, this, &FrequencyPanel::knobMoved);
    m_knob->installEventFilter(this);

    m_entry = new QLineEdit(m_display);
    m_entry->setObjectName("FrequencyEntry");
    m_entry->setAccessibleName("Frequency entry");
    m_entry->setPlaceholderText("kHz or MHz, Enter tunes");
    m_entry->setStyleSheet("background: #202020; color: #ffffff; border: 1px solid #00ffff;");
    m_entry->hide();
    m_entry->installEventFilter(this);
    connect(m_entry, &QLineEdit::returnPressed, this, &FrequencyPanel::submitEntry);

    m_menu = new QMenu("VFO Control", this);
    m_menu->setObjectName("mnuVFOControl");
    const char* items[] = {"Cancel", nullptr, "Lock Tune Rate", "Unlock Tune rate"};
    for (int i = 0; i < 4; ++i) {
        if (!items[i]) {
            m_menu->addSeparator();
            continue;
        }
        QAction* a = m_menu->addAction(items[i]);
        connect(a, &QAction::triggered, this, [this, i] { m_tuning.vfoMenu(m_menuDigit, i); });
    }
    connect(m_display, &FrequencyDisplay::menuRequested, this, [this](int digit, QPoint at) {
        m_menuDigit = digit;
        m_menu->popup(at);
    });
    connect(m_display, &FrequencyDisplay::entryRequested, this, &FrequencyPanel::openEntry);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->addWidget(m_display, 0, 0, 1, 3);
    m_scaleRow->setMinimumHeight(m_scale[0]->sizeHint().height());
    grid->addWidget(m_scaleRow, 1, 0, 1, 3);
    connect(m_display, &FrequencyDisplay::digitsMoved, this, &FrequencyPanel::placeScale);
    grid->addWidget(m_rate, 2, 0, 1, 3, Qt::AlignCenter);
    auto* knobBox = new QVBoxLayout;
    knobBox->addWidget(m_knob, 0, Qt::AlignHCenter);
    knobBox->addWidget(m_dialRate);
    grid->addLayout(knobBox, 0, 3, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    connect(&tuning, &app::TuningController::changed, this, &FrequencyPanel::refresh);
    connect(&values, &app::ValuesController::changed, this, &FrequencyPanel::refreshColour);
    refresh();
}

void FrequencyPanel::refresh() {
    refreshColour();
    const app::TuningModel& t = m_tuning.model();
    SetText(m_rate, t.lblTuningRate);
    SetTextColour(m_rate, t.lblTuningRateColour);
    SetToolTip(m_rate, t.lblTuningRateToolTip);
    SetText(m_dialRate, t.lblTuneDialRate.empty() ? t.lblTuningRate : t.lblTuneDialRate);
    if (static_cast<int>(t.lbl7SegHigh.size()) != m_highDigits) placeScale();
    followKnob();
    m_display->refresh();
}

// Each zeroing label spans the digits it zeroes, whatever the size of the readout.
void FrequencyPanel::placeScale() {
    constexpr int kFirst[3] = {0, 2, 5}, kLast[3] = {1, 4, 8};
    // From 100 MHz up the MHz label spans the hundreds left of digit 0 too.
    m_highDigits = m_tuning.started() ? static_cast<int>(m_tuning.model().lbl7SegHigh.size()) : 0;
    for (int k = 0; k < 3; ++k) {
        QRect digits = m_display->digitRect(kFirst[k]).united(m_display->digitRect(kLast[k]));
        if (k == 0) digits.setLeft(digits.left() - m_highDigits * digits.width() / 2);
        const QPoint left = m_scaleRow->mapFrom(this, m_display->mapTo(this, digits.topLeft()));
        m_scale[static_cast<std::size_t>(k)]->setGeometry(left.x(), 0, digits.width(),
                                                          m_scaleRow->height());
    }
}

void FrequencyPanel::knobMoved(int value) {
    // The dial wraps from 100 to 0: the shorter way round is the direction turned.
    int d = value - m_knobLast;
    const int span = m_knob->maximum() - m_knob->minimum() + 1;
    if (d > span / 2) d -= span;
    if (d < -span / 2) d += span;
    m_knobLast = value;
    if (d == 0) return;
    // One position on from where the knob is: the shaft encoder moves the same knob.
    m_knobShown = m_tuning.model().knobPosition() + (d > 0 ? 1 : -1);
    m_tuning.knobChanged(m_knobShown);
}

// The dial turns with the knob's encoder steps, one notch of the dial a step.
void FrequencyPanel::followKnob() {
    const int position = m_tuning.model().knobPosition();
    if (position == m_knobShown) return;
    const int span = m_knob->maximum() - m_knob->minimum() + 1;
    const int moved = (position - m_knobShown) % span;
    const int value =
        m_knob->minimum() + ((m_knob->value() - m_knob->minimum() + moved) % span + span) % span;
    m_knobShown = position;
    m_knobLast = value;
    const QSignalBlocker quiet(m_knob);
    m_knob->setValue(value);
}

void FrequencyPanel::openEntry(const QString& text) {
    m_entry->setGeometry(m_display->rect().adjusted(4, 4, -4, -4));
    m_entry->setText(text);
    m_entry->show();
    m_entry->setFocus(Qt::OtherFocusReason);
    m_entry->setCursorPosition(m_entry->text().size());
}

void FrequencyPanel::submitEntry() {
    const double mhz = ParseTypedFrequency(m_entry->text());
    std::string why;
    if (mhz < 0) {
        ShowMessage("\"" + m_entry->text().toStdString() +
                        "\" is not a frequency. Type it in kHz (7050) or MHz (7.05).",
                    MessageIcon::Exclamation, "Frequency entry");
        return;
    }
    if (!m_tuning.tuneTo(mhz, &why)) {
        ShowMessage(why, MessageIcon::Exclamation, "Frequency entry");
        return;
    }
    m_entry->hide();
    m_display->setFocus(Qt::OtherFocusReason);
}

bool FrequencyPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scaleRow && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        placeScale();
    const auto type = event->type();
    const bool mouseEvent = type == QEvent::MouseButtonPress ||
                            type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove ||
                            type == QEvent::MouseButtonRelease;
    if (watched == m_knob && !m_knobDragging && mouseEvent) {
        // A click on the tuning dial steps the dial-rate presets (1 kHz down to 1 Hz); only a
        // drag turns it.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
            mouse->button() == Qt::LeftButton) {
            m_knobPressAt = mouse->position().toPoint();
            m_knobPressed = true;
            return true;
        }
        if (type == QEvent::MouseMove && m_knobPressed &&
            (mouse->position().toPoint() - m_knobPressAt).manhattanLength() >=
                QApplication::startDragDistance()) {
            m_knobDragging = true;
            QMouseEvent press(QEvent::MouseButtonPress, m_knobPressAt,
                              m_knob->mapToGlobal(m_knobPressAt), Qt::LeftButton, Qt::LeftButton,
                              mouse->modifiers());
            QApplication::sendEvent(m_knob, &press);
            return false;
        }
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
            m_knobPressed) {
            m_knobPressed = false;
            m_tuning.picTuneDial_Click();
            return true;
        }
    }
    if (watched == m_knob && m_knobDragging && event->type() == QEvent::MouseButtonRelease) {
        m_knobDragging = false;
        m_knobPressed = false;
    }
    if (watched == m_entry && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_entry->hide();
        m_display->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (watched == m_entry && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
            reason == Qt::BacktabFocusReason)
            m_entry->hide();
    }
    return HoverFrame::eventFilter(watched, event);
}

} // namespace orvex::ui
