#include "TraceLog.h"

#include "core/Error.h"
#include "core/SafeFile.h"

#include <QDateTime>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace orvex::app {

bool CommandLineHasTrace(const std::vector<std::string>& arguments) {
    // The first is the program's own path (a folder named "tracer" must not turn it on).
    for (std::size_t i = 1; i < arguments.size(); ++i)
        if (arguments[i].find("trace") != std::string::npos) return true;
    return false;
}

std::string DefaultTraceFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::string(state) + "/OrvexSDR";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : ".") + "/.local/state/OrvexSDR";
}

namespace {

// Appends `lines` to the file at `path` (opened and closed for the call; a FIFO or device
// in its place is refused, never waited on).
bool AppendLines(const std::string& path, const std::vector<std::string>& lines,
                 std::string& error) {
    std::string text;
    for (const auto& line : lines)
        text += line + '\n';
    FileError failure;
    if (AppendToFile(path, text, &failure)) return true;
    error = "cannot write the log file " + path + ": " + failure.describe();
    return false;
}

// Replaces the file with exactly these lines (the safe writer: whole or not at all).
bool WriteWhole(const std::string& path, const std::vector<std::string>& lines,
                std::string& error) {
    std::string text;
    for (const auto& line : lines)
        text += line + '\n';
    FileError failure;
    if (WriteWholeFile(path, text, &failure)) return true;
    error = "cannot write the log file " + path + ": " + failure.describe();
    return false;
}

} // namespace

void TraceLog::start(bool on, const std::string& folder) {
    if (m_on || !on) return;
    m_on = true;
    m_path = folder + "/" + kFileName;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const std::string header =
        "OrvexSDR_Brisko Log File Started at Date=" +
        locale.toString(now.date(), QLocale::ShortFormat).toStdString() +
        " Time=" + locale.toString(now.time(), QLocale::ShortFormat).toStdString();
    m_error.clear();
    WriteWhole(m_path, {header}, m_error);
}

bool TraceLog::add(const std::string& text) {
    if (!m_on || m_busy) return true;
    m_busy = true;
    m_lines.push_back(text);
    if (m_lineAdded) m_lineAdded(text);
    std::string error;
    const bool ok = AppendLines(m_path, {text}, error);
    m_error = error;
    m_busy = false;
    return ok;
}

bool TraceLog::save() {
    if (!m_on) return true;
    m_error.clear();
    return WriteWhole(m_path, m_lines, m_error);
}

} // namespace orvex::app
