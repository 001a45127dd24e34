// The start-up trace: with the word "trace" on the command line, every step of start-up,
// settings restore and power switching is written as one line to the log window and to the
// file OrvexSDR_Brisko.log in the per-user state folder ($XDG_STATE_HOME/OrvexSDR, or
// ~/.local/state/OrvexSDR). The file is emptied at each traced start and opened and closed for
// every line, so it is complete up to the last line even if the program stops abruptly.
// Without the switch every entry point does nothing and no file is touched.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvex::app {

/// True when any argument contains "trace" (case-sensitive, anywhere in the argument).
/// `arguments` is the command line as main() receives it: the first, the program's path, is
/// not one of the arguments and is not looked at.
bool CommandLineHasTrace(const std::vector<std::string>& arguments);

/// The log file's folder: $XDG_STATE_HOME/OrvexSDR when that is an absolute path, else
/// ~/.local/state/OrvexSDR.
std::string DefaultTraceFolder();

class TraceLog {
public:
    static constexpr const char* kFileName = "OrvexSDR_Brisko.log";

    /// Sets the switch (once; it is never cleared). With `on`, creates the folder, empties the
    /// file and writes the header line "OrvexSDR_Brisko Log File Started at Date=... Time=...".
    /// A file that cannot be written is reported by lastError(); the list still works.
    void start(bool on, const std::string& folder = DefaultTraceFolder());

    bool enabled() const { return m_on; }
    const std::string& filePath() const { return m_path; }
    /// The lines added since start, oldest first (the log window's list).
    const std::vector<std::string>& lines() const { return m_lines; }
    /// Why the last file operation failed; empty after success.
    const std::string& lastError() const { return m_error; }

    /// AddLog: appends one line to the list and to the file. Ignored without the switch and
    /// while a line is being added (a nested call from an event raised meanwhile). False when
    /// the file could not be written (the list keeps the line).
    bool add(const std::string& text);
    /// The log window's "Save": the file then holds exactly the list's lines (the header is
    /// not in the list). False when it could not be written.
    bool save();

    /// Called after each line is added (the log window shows it).
    void setLineAdded(std::function<void(const std::string&)> handler) {
        m_lineAdded = std::move(handler);
    }

private:
    bool m_on = false;
    bool m_busy = false;
    std::string m_path;
    std::string m_error;
    std::vector<std::string> m_lines;
    std::function<void(const std::string&)> m_lineAdded;
};

} // namespace orvex::app
