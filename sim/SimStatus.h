// Setting up the simulated receiver from command-line style options, and the status lines the
// command-line tool prints about it.
#pragma once

#include "SimulatedReceiver.h"

#include <memory>
#include <string>
#include <vector>

namespace orvex::sim {

struct SimSetup {
    std::string sceneFile;      ///< a path or a shipped scene's name; empty: the built-in default
    double clockErrorPpm = 0.0; ///< reference clock error (-1000 to 1000 ppm)
    SimReceiverConfig config;   ///< chip, clock, IF (the error above replaces its own)
    /// Generate every music and speech loop of the scene while setting up (about a quarter
    /// of a second for the default scene), so that tuning into a new band never pauses.
    bool prepareAll = true;
};

/// Loads the scene and builds the receiver. On a bad scene file or option returns nullptr and
/// fills `error` with every problem (one per line, "FILE:LINE: text").
std::unique_ptr<SimulatedReceiver> MakeSimulatedReceiver(const SimSetup& setup, std::string& error);

/// "simulated receiver: scene "Default bands" (built-in default.scene), 27 stations;
/// reference 45.012000 MHz (+0.000 ppm)".
std::string SimSummaryLine(const SimulatedReceiver& receiver);
/// "tuned 5.505000 MHz: LO 50.505000 MHz from word 0x23E7B41C on a 360.096000 MHz clock, 4
/// stations in the IF", or "no local oscillator (...)" with the reason.
std::string SimTuningLine(const SimulatedReceiver& receiver);
/// One line per station in the IF: "  +0.000 kHz  IF 12000 Hz  AM      -28 dBFS  Radio Orvex".
std::vector<std::string> SimStationLines(const SimulatedReceiver& receiver);

} // namespace orvex::sim
