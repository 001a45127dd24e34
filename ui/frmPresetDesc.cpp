#include "frmPresetDesc.h"

#include "PanelWidgets.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace orvex::ui {

frmPresetDesc::frmPresetDesc(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    setObjectName("frmPresetDesc");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(PanelStyleSheet() + "#frmPresetDesc { border: 1px solid #00c0c0; }");
    m_caption = new QLabel(this);
    m_caption->setObjectName("lblCaption");
    m_caption->setStyleSheet("font-weight: bold; color: #00ffff;");
    m_details = new QLabel(this);
    m_details->setObjectName("lblPresetDesc");
    m_details->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(6, 4, 6, 6);
    box->setSpacing(2);
    box->addWidget(m_caption);
    box->addWidget(m_details, 1);
}

void frmPresetDesc::showAt(const std::string& caption, const std::string& text, QPoint pointer) {
    SetText(m_caption, caption);
    SetText(m_details, text);
    adjustSize();
    // Beside the pointer rather than under it, so the pointer keeps its button.
    QPoint at = pointer + QPoint(14, 18);
    if (const QScreen* screen = QGuiApplication::screenAt(pointer)) {
        const QRect area = screen->availableGeometry();
        if (at.x() + width() > area.right()) at.setX(pointer.x() - width() - 4);
        if (at.y() + height() > area.bottom()) at.setY(pointer.y() - height() - 4);
        at.setX(std::max(at.x(), area.left()));
        at.setY(std::max(at.y(), area.top()));
    }
    if (pos() != at) move(at);
    if (!isVisible()) show();
}

} // namespace orvex::ui
