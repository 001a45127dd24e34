// Configuration (frame "Configuration", shown in the "Full" display size): the "Config" button.
// It opens the configuration dialog without blocking and waits for it while the window goes
// on (a wait that lets every event run); when it closes, the IF and clock labels and the
// readout show what the DDS controller now uses. A second press while it is open brings it
// to the front.
#pragma once

#include <QGroupBox>

class QPushButton;

namespace orvex::app {
class ConfigController;
}

namespace orvex::ui {

class frmConfig;

class ConfigPanel final : public QGroupBox {
    Q_OBJECT
public:
    explicit ConfigPanel(app::ConfigController& config, QWidget* parent = nullptr);
    QPushButton* button() const { return m_button; }
    /// The configuration dialog while it is open, else nullptr.
    frmConfig* dialog() const { return m_dialog; }
    void cmdConfig_Click();

private:
    app::ConfigController& m_config;
    QPushButton* m_button = nullptr;
    frmConfig* m_dialog = nullptr;
};

} // namespace orvex::ui
