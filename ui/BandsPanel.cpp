#include "BandsPanel.h"

#include "PanelWidgets.h"
#include "frmEditUserPreset.h"
#include "frmPresetDesc.h"

#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

namespace orvex::ui {
namespace {

using Picker = app::BandPicker;

// The band picture: a frequency scale with the sub-bands of a plan marked along it.
QPixmap BandPicture() {
    QPixmap picture(30, 84);
    picture.fill(QColor(0, 0, 0));
    QPainter p(&picture);
    p.setPen(QColor(0, 192, 192));
    p.drawLine(6, 4, 6, 80);
    for (int y = 4; y <= 80; y += 19)
        p.drawLine(3, y, 9, y);
    const int bars[][3] = {{8, 14, 0}, {22, 20, 1}, {40, 10, 0}, {52, 18, 1}, {70, 8, 0}};
    for (const auto& bar : bars)
        p.fillRect(11, bar[0], bar[1], 6, bar[2] ? QColor(0, 255, 255) : QColor(0, 128, 128));
    return picture;
}

QPushButton* PanelButton(QWidget* parent, const QString& objectName, QObject* filter) {
    auto* b = new QPushButton(parent);
    b->setObjectName(objectName);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setMouseTracking(true);
    b->setMinimumWidth(44);
    b->installEventFilter(filter);
    return b;
}

void RetainSize(QWidget* w) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
}

void SetShown(QWidget* w, bool shown) {
    if (w->isHidden() == shown) w->setHidden(!shown);
}

QStringList Texts(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& s : items)
        list << Q(s);
    return list;
}

void SetItems(QComboBox* box, const QStringList& items, int index) {
    const bool blocked = box->blockSignals(true);
    bool same = box->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = box->itemText(i) == items[i];
    if (!same) {
        box->clear();
        box->addItems(items);
    }
    if (box->currentIndex() != index) box->setCurrentIndex(index);
    box->blockSignals(blocked);
}

void ShowButton(QPushButton* b, const ButtonView& view, const QString& toolTip,
                const QString& accessibleName, PanelColour colour, bool checked) {
    SetText(b, view.caption);
    if (b->toolTip() != toolTip) {
        b->setToolTip(toolTip);
        b->setAccessibleDescription(toolTip);
    }
    if (b->accessibleName() != accessibleName) b->setAccessibleName(accessibleName);
    SetShown(b, view.visible);
    SetTextColour(b, colour);
    SetChecked(b, checked);
}

// A picker's area, for the re-show rule: within its width and above the middle of its height.
bool InPickerArea(const QRect& area, QPoint p) {
    return p.x() > area.left() && p.x() < area.right() && p.y() >= area.top() &&
           p.y() < area.top() + area.height() / 2;
}

} // namespace

BandsPanel::BandsPanel(app::BandsController& bands, QWidget* parent)
    : QWidget(parent), m_bands(bands) {
    setObjectName("frBands");
    setAccessibleName("Bands and Presets");

    m_image = new QLabel(this);
    m_image->setObjectName("imgBandSelect");
    m_image->setPixmap(BandPicture());
    m_image->setAccessibleName("Band plans");
    m_image->setToolTip("Band plans: point just above the sub-band name to choose a band "
                        "(Ctrl+B)");
    m_image->setMouseTracking(true);
    m_image->installEventFilter(this);

    m_subBandsArea = new QWidget(this);
    m_subBandsArea->setObjectName("picSubBands");
    m_subBandsArea->setMouseTracking(true);
    m_subBandsArea->installEventFilter(this);
    auto* subGrid = new QGridLayout(m_subBandsArea);
    subGrid->setContentsMargins(0, 6, 0, 0);
    subGrid->setSpacing(2);
    for (int s = 0; s < 18; ++s) {
        QPushButton* b = PanelButton(m_subBandsArea, QString("optSubBand%1").arg(s), this);
        // The mouse reaches the controller through the event filter; Space and the accessible
        // Toggle and Press actions change the button's state, and act as a left click.
        OnToggled(b, [this, s](bool) {
            m_bands.optSubBand_MouseDown(s, MouseButton::Left);
            refreshButtons();
        });
        subGrid->addWidget(b, s / 6, s % 6);
        m_subBands[static_cast<std::size_t>(s)] = b;
    }

    m_frame = new QGroupBox(this);
    m_frame->setObjectName("frPresets");
    m_frame->setMouseTracking(true);
    m_frame->installEventFilter(this);
    m_frame->setToolTip("Point just above the sub-band name to choose a band, at the name to "
                        "choose a sub-band");

    m_bandSelect = new QComboBox(m_frame);
    m_bandSelect->setObjectName("cboBandSelect");
    m_bandSelect->setAccessibleName("Band");
    m_bandSelect->setToolTip("Band plan (Ctrl+B)");
    connect(m_bandSelect, &QComboBox::activated, this,
            [this](int i) { m_bands.cboBandSelect_Click(i); });

    m_subBandLabel = new QLabel(m_frame);
    m_subBandLabel->setObjectName("lblSubBand");
    m_subBandLabel->setAccessibleName("Sub-band");
    m_subBandLabel->setToolTip("Sub-band: point here, or press Enter, to choose another");
    m_subBandLabel->setAlignment(Qt::AlignCenter);
    m_subBandLabel->setFrameShape(QFrame::Panel);
    m_subBandLabel->setFrameShadow(QFrame::Sunken);
    m_subBandLabel->setFocusPolicy(Qt::StrongFocus);

    m_subBandSelect = new QComboBox(m_frame);
    m_subBandSelect->setObjectName("cboSubBandSelect");
    m_subBandSelect->setAccessibleName("Sub-band picker");
    connect(m_subBandSelect, &QComboBox::activated, this,
            [this](int i) { m_bands.subBandList_Click(i); });

    // The list box shows the sub-band picker's own list.
    m_subBandList = new QListView(m_frame);
    m_subBandList->setObjectName("lstSubBandSelect");
    m_subBandList->setAccessibleName("Sub-band list");
    m_subBandList->setModel(m_subBandSelect->model());
    m_subBandList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_subBandList->setMaximumHeight(58);
    m_subBandList->viewport()->setMouseTracking(true);
    m_subBandList->viewport()->installEventFilter(this);
    auto pick = [this](const QModelIndex& item) { m_bands.subBandList_Click(item.row()); };
    connect(m_subBandList, &QListView::clicked, this, pick);
    connect(m_subBandList, &QListView::activated, this, pick);

    for (QWidget* w :
         {static_cast<QWidget*>(m_bandSelect), static_cast<QWidget*>(m_subBandLabel),
          static_cast<QWidget*>(m_subBandSelect), static_cast<QWidget*>(m_subBandList)}) {
        w->setMinimumWidth(96);
        w->setMaximumWidth(150);
        w->setMouseTracking(true);
        w->installEventFilter(this);
        RetainSize(w);
    }

    auto* presetArea = new QWidget(m_frame);
    presetArea->setObjectName("picPresets");
    auto* presetGrid = new QGridLayout(presetArea);
    presetGrid->setContentsMargins(0, 0, 0, 0);
    presetGrid->setSpacing(2);
    for (int p = 0; p < 12; ++p) {
        QPushButton* b = PanelButton(presetArea, QString("optPreset%1").arg(p), this);
        b->setMinimumWidth(52);
        b->setMinimumHeight(30);
        // Space on a focused button, or its accessible Toggle or Press action, recalls it as
        // a left click does (the mouse reaches the controller through the event filter).
        OnToggled(b, [this, p](bool) {
            m_bands.optPreset_MouseDown(p, MouseButton::Left, {});
            refreshButtons();
        });
        presetGrid->addWidget(b, p / 6, p % 6);
        m_presets[static_cast<std::size_t>(p)] = b;
    }

    auto* frameGrid = new QGridLayout(m_frame);
    frameGrid->setContentsMargins(4, 2, 4, 4);
    frameGrid->setSpacing(3);
    frameGrid->addWidget(m_bandSelect, 0, 0);
    frameGrid->addWidget(m_subBandLabel, 1, 0); // the caption and its picker share a place
    frameGrid->addWidget(m_subBandSelect, 1, 0);
    frameGrid->addWidget(m_subBandList, 2, 0);
    frameGrid->addWidget(presetArea, 0, 1, 3, 1);
    frameGrid->setColumnStretch(1, 1); // the presets take the width the row leaves

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_image, 0, Qt::AlignVCenter);
    row->addWidget(m_subBandsArea, 0, Qt::AlignTop);
    row->addWidget(m_frame, 1);

    m_menu = new QMenu("&User Presets", this);
    m_menu->setObjectName("mnuUserPresets");
    m_menu->setStyleSheet("QMenu::item:disabled { color: #406060; }"
                          "QMenu::item:selected { background: #204848; }");
    m_save = m_menu->addAction("Save to Preset");
    m_save->setObjectName("mnuUserPresets_Save");
    m_edit = m_menu->addAction("Edit Preset");
    m_edit->setObjectName("mnuUserPresets_Edit");
    connect(m_save, &QAction::triggered, this, [this] { m_bands.mnuUserPresets_Save(); });
    connect(m_edit, &QAction::triggered, this, [this] { m_bands.mnuUserPresets_Edit(); });

    m_desc = new frmPresetDesc(this);

    for (int p = 0; p < 12; ++p) {
        auto* key = new QShortcut(QKeySequence(QKeyCombination(Qt::Key(Qt::Key_F1 + p))), this);
        connect(key, &QShortcut::activated, this,
                [this, p] { m_bands.optPreset_MouseDown(p, MouseButton::Left, {}); });
    }
    auto* bandKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this);
    connect(bandKey, &QShortcut::activated, this, [this] {
        m_bands.openPicker(Picker::cboBandSelect);
        m_bandSelect->setFocus(Qt::ShortcutFocusReason);
        m_bandSelect->showPopup();
    });

    m_bands.setPresetEditor([this](PresetEditRequest& request) {
        frmEditUserPreset dialog(request, window());
        dialog.exec();
        return dialog.confirmed();
    });
    // A preset applied during start-up does not take the focus from the window.
    m_focusRequests = m_bands.view().FocusRequests;
    connect(&bands, &app::BandsController::changed, this, &BandsPanel::refresh);
    refresh();
}

BandsPanel::~BandsPanel() {
    m_bands.setPresetEditor({});
}

void BandsPanel::refresh() {
    refreshButtons();
    refreshPickers();
    const auto& b = m_bands.view();
    if (b.FocusRequests != m_focusRequests) {
        m_focusRequests = b.FocusRequests;
        if (b.FocusPreset >= 0 && b.FocusPreset < 12 && isVisible())
            preset(b.FocusPreset)->setFocus(Qt::OtherFocusReason);
    }
}

void BandsPanel::refreshButtons() {
    const auto& b = m_bands.view();
    SetItems(m_bandSelect, Texts(b.cboBandSelect), b.BandIndex);
    if (m_frame->title() != Q(b.frPresets)) {
        m_frame->setTitle(Q(b.frPresets));
        m_frame->setAccessibleName("Presets of " + Q(b.frPresets));
    }
    for (std::size_t s = 0; s < m_subBands.size(); ++s) {
        const ButtonView& v = b.optSubBand[s];
        ShowButton(m_subBands[s], v, Q(v.toolTip), "Sub-band " + Q(v.caption),
                   b.optSubBandColour[s], b.SelectedSubBand == static_cast<std::int32_t>(s));
    }
    SetItems(m_subBandSelect, Texts(b.SubBandList), b.SubBandListIndex);
    const QModelIndex current = m_subBandSelect->model()->index(b.SubBandListIndex, 0);
    if (m_subBandList->currentIndex() != current) m_subBandList->setCurrentIndex(current);
    SetText(m_subBandLabel, b.lblSubBand);
    if (m_subBandLabel->accessibleDescription() != m_subBandLabel->text().trimmed())
        m_subBandLabel->setAccessibleDescription(m_subBandLabel->text().trimmed());
    for (std::size_t p = 0; p < m_presets.size(); ++p) {
        const ButtonView& v = b.optPreset[p];
        const QString key = QString("F%1 recalls this preset").arg(p + 1);
        ShowButton(m_presets[p], v, Q(v.toolTip) + "\n" + key,
                   QString("Preset %1: %2").arg(p + 1).arg(Q(v.caption)), b.optPresetColour[p],
                   b.SelectedPreset == static_cast<std::int32_t>(p));
    }
}

void BandsPanel::refreshPickers() {
    const auto& b = m_bands.view();
    SetShown(m_bandSelect, b.cboBandSelectVisible);
    SetShown(m_subBandSelect, b.cboSubBandSelectVisible);
    SetShown(m_subBandList, b.lstSubBandSelectVisible);
    if (m_subBandList->isEnabled() != b.lstSubBandSelectVisible)
        m_subBandList->setEnabled(b.lstSubBandSelectVisible);
    SetShown(m_subBandLabel, b.lblSubBandVisible);
    if (b.PresetDescVisible && isVisible()) {
        if (!m_desc->isVisible()) showDescription();
    } else if (m_desc->isVisible()) {
        m_desc->hide();
    }
}

void BandsPanel::showDescription() {
    const auto& b = m_bands.view();
    if (b.PresetDescVisible)
        m_desc->showAt(b.PresetDescCaption, b.PresetDescText, QCursor::pos());
    else if (m_desc->isVisible())
        m_desc->hide();
}

int BandsPanel::pickerUnder(QPoint inFrame) const {
    if (InPickerArea(m_bandSelect->geometry(), inFrame))
        return static_cast<int>(Picker::cboBandSelect);
    if (InPickerArea(m_subBandSelect->geometry(), inFrame))
        return static_cast<int>(Picker::cboSubBandSelect);
    if (InPickerArea(m_subBandList->geometry(), inFrame))
        return static_cast<int>(Picker::lstSubBandSelect);
    return static_cast<int>(Picker::None);
}

void BandsPanel::presetMouse(int p, QMouseEvent* event, bool press) {
    MouseButton button = MouseButton::Middle;
    if (event->button() == Qt::LeftButton) button = MouseButton::Left;
    if (event->button() == Qt::RightButton) button = MouseButton::Right;
    const Qt::KeyboardModifiers m = event->modifiers();
    const KeyState keys{m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
                        m.testFlag(Qt::AltModifier)};
    if (press) {
        m_menuPress = -1;
        const PresetPressView view = m_bands.optPreset_MouseDown(p, button, keys);
        if (view.showMenu) {
            m_edit->setEnabled(view.editEnabled);
            m_menuPress = p;
            m_menu->popup(event->globalPosition().toPoint());
        }
        return;
    }
    // Releasing the left button recalls the preset once more; a store or the menu happen once.
    if (button == MouseButton::Left && m_menuPress != p)
        m_bands.optPreset_MouseDown(p, MouseButton::Left, keys);
    m_menuPress = -1;
}

bool BandsPanel::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool move = type == QEvent::MouseMove;
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    const bool release = type == QEvent::MouseButtonRelease;
    if (type == QEvent::ToolTip && m_bands.presetState().ShowPresetDesc &&
        (qobject_cast<QPushButton*>(watched)))
        return true; // the details pop-up shows what the tool tip would
    if (!move && !press && !release && type != QEvent::KeyPress && type != QEvent::FocusOut &&
        type != QEvent::Enter)
        return QWidget::eventFilter(watched, event);

    for (int p = 0; p < 12; ++p) {
        if (watched != m_presets[static_cast<std::size_t>(p)]) continue;
        if (press || release) {
            presetMouse(p, static_cast<QMouseEvent*>(event), press);
            return true;
        }
        if (move) {
            m_bands.presetHover(p);
            showDescription();
            return true;
        }
        if (type == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const auto held =
                key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
            if (!key->isAutoRepeat() && held == Qt::ControlModifier) {
                m_bands.optPreset_CtrlKey(p);
                showDescription();
            }
        }
        return false;
    }
    for (int s = 0; s < 18; ++s) {
        if (watched != m_subBands[static_cast<std::size_t>(s)]) continue;
        if (press) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                m_bands.optSubBand_MouseDown(s, MouseButton::Left);
            return true;
        }
        if (release) return true;
        if (move) {
            m_bands.subBandHover(s);
            showDescription();
            return true;
        }
        return false;
    }

    if (move && watched == m_subBandsArea) {
        m_bands.subBandsHover();
        return true;
    }
    if (move && watched == m_image) {
        m_bands.bandImageHover();
        return true;
    }
    if (move && watched == m_frame) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        m_bands.presetsFrameHover(static_cast<Picker>(pickerUnder(at)));
        return true;
    }
    if (watched == m_subBandLabel) {
        if (move || type == QEvent::Enter) {
            m_bands.subBandLabelHover();
            m_subBandSelect->setFocus(Qt::MouseFocusReason);
            return move;
        }
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
                key == Qt::Key_Down || key == Qt::Key_F4) {
                m_bands.openPicker(Picker::cboSubBandSelect);
                m_subBandSelect->setFocus(Qt::OtherFocusReason);
                m_subBandSelect->showPopup();
                return true;
            }
        }
        return false;
    }
    if (m_subBandList && watched == m_subBandList->viewport()) {
        if (!move) return false;
        // The list takes the focus while the pointer is in its upper half.
        const QPoint inList = static_cast<QMouseEvent*>(event)->position().toPoint() +
                              m_subBandList->viewport()->pos();
        if (inList.y() < m_subBandList->height() / 2 && !m_subBandList->hasFocus())
            m_subBandList->setFocus(Qt::MouseFocusReason);
        return true;
    }
    if (watched == m_bandSelect || watched == m_subBandSelect) {
        if (move) return true;
        if (type == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            m_bands.pickerLostFocus(watched == m_bandSelect ? Picker::cboBandSelect
                                                            : Picker::cboSubBandSelect);
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orvex::ui
