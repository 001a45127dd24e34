// frmPresetDesc: a caption-less pop-up beside the pointer with the details of the preset or
// sub-band under it (a heading line and the detail text). It never takes the focus or the
// mouse, so the panel keeps both.
#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace orvex::ui {

class frmPresetDesc final : public QWidget {
    Q_OBJECT
public:
    explicit frmPresetDesc(QWidget* parent = nullptr);
    /// Shows the texts with the window's corner just below and right of the pointer (global
    /// pixels), kept on the pointer's screen.
    void showAt(const std::string& caption, const std::string& text, QPoint pointer);
    QLabel* caption() const { return m_caption; }
    QLabel* details() const { return m_details; }

private:
    QLabel* m_caption = nullptr; // lblCaption
    QLabel* m_details = nullptr; // lblPresetDesc
};

} // namespace orvex::ui
