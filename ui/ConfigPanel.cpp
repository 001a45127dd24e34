#include "ConfigPanel.h"

#include "app/ConfigController.h"
#include "frmConfig.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QPushButton>

namespace orvex::ui {

ConfigPanel::ConfigPanel(app::ConfigController& config, QWidget* parent)
    : QGroupBox("Configuration", parent), m_config(config) {
    setObjectName("frConfig");
    setAccessibleName("Configuration");
    m_button = new QPushButton("Config", this);
    m_button->setObjectName("cmdConfig");
    m_button->setAccessibleName("Config");
    m_button->setToolTip("Configure the receiver's hardware: DDS clock, IF, ports, sound devices");
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 4);
    box->addWidget(m_button);
    box->addStretch();
    connect(m_button, &QPushButton::clicked, this, &ConfigPanel::cmdConfig_Click);
}

void ConfigPanel::cmdConfig_Click() {
    if (m_dialog) { // pressed again while the dialog is open (the wait below lets it through)
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    if (m_config.unloaded()) return;
    frmConfig dialog(m_config, window());
    m_dialog = &dialog;
    QEventLoop wait;
    connect(&dialog, &frmConfig::closed, &wait, &QEventLoop::quit);
    // Shutting down from the main window while the dialog is open cancels it.
    connect(&m_config, &app::ConfigController::closing, &dialog, &frmConfig::cmdCancel_Click);
    dialog.show();
    if (dialog.form().DialogOpen) wait.exec();
    m_dialog = nullptr;
    m_config.configClosed();
}

} // namespace orvex::ui
