// A private PulseAudio sound server for tests of the "OrvexSDR" capture source: started in a
// temporary runtime folder with a null sink and an anonymous socket of its own, so a test never
// touches the user's desktop audio, and stopped at the end. Where it cannot start (the
// program is missing, or it refuses) `why()` says so and the test skips with that reason.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvex::testutil {

class PrivateSoundServer {
public:
    PrivateSoundServer() {
        char name[] = "/tmp/orvex-sound-XXXXXX";
        if (!::mkdtemp(name)) {
            m_why = "cannot make a runtime folder";
            return;
        }
        m_dir = name;
        if (!OnPath("pulseaudio")) {
            m_why = "pulseaudio is not installed (tools/install-deps installs it)";
            return;
        }
        if (!OnPath("pactl") || !OnPath("parecord")) {
            m_why = "pactl and parecord are not installed (package pulseaudio-utils)";
            return;
        }
        const std::string socket = m_dir + "/native";
        const std::vector<std::string> args = {
            "pulseaudio",
            "--daemonize=no",
            "-n",
            "--exit-idle-time=-1",
            "--disable-shm=yes",
            "--use-pid-file=no",
            "--system=no",
            "--log-target=file:" + m_dir + "/server.log",
            "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
            "--load=module-null-sink sink_name=orvex_test_sink"};
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
            ::setenv("HOME", m_dir.c_str(), 1);
            ::unsetenv("PULSE_SERVER");
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            std::vector<char*> argv;
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            const std::string out = m_dir + "/server.out";
            const int in = ::open("/dev/null", O_RDONLY);
            const int log = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || log < 0 || ::dup2(in, 0) < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0)
                ::_exit(126);
            ::execvp("pulseaudio", argv.data());
            ::_exit(127);
        }
        // Ready when it answers on its socket.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_why = "pulseaudio stopped at once: " + Tail(m_dir + "/server.out") +
                        Tail(m_dir + "/server.log");
                return;
            }
            if (pactl("info").find("Server Name") != std::string::npos) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m_why = "pulseaudio did not answer within 10 s: " + Tail(m_dir + "/server.log");
        stop();
    }
    ~PrivateSoundServer() {
        stop();
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
    }
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool running() const { return m_pid > 0; }
    const std::string& why() const { return m_why; }
    /// The server as libpulse and its tools name it.
    std::string server() const { return "unix:" + m_dir + "/native"; }
    const std::string& folder() const { return m_dir; }
    /// "PULSE_SERVER=unix:..." for a command line.
    std::string env() const { return "PULSE_SERVER=" + server(); }

    /// What `pactl ARGS` printed.
    std::string pactl(const std::string& args) const {
        const std::string cmd = env() + " pactl " + args + " 2>/dev/null";
        std::string out;
        if (FILE* p = ::popen(cmd.c_str(), "r")) {
            char buf[4096];
            std::size_t n = 0;
            while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
                out.append(buf, n);
            ::pclose(p);
        }
        return out;
    }
    /// The names of the server's sources.
    std::vector<std::string> sources() const {
        std::vector<std::string> names;
        std::istringstream lines(pactl("list short sources"));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string index, name;
            if (words >> index >> name) names.push_back(name);
        }
        return names;
    }

private:
    static bool OnPath(const std::string& program) {
        const char* path = std::getenv("PATH");
        std::istringstream dirs(path ? path : "/usr/bin:/bin");
        std::string dir;
        while (std::getline(dirs, dir, ':'))
            if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        return false;
    }
    static std::string Tail(const std::string& file) {
        std::ifstream f(file);
        std::stringstream ss;
        ss << f.rdbuf();
        std::string s = ss.str();
        return s.size() > 600 ? s.substr(s.size() - 600) : s;
    }
    void stop() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    std::string m_dir;
    std::string m_why;
    pid_t m_pid = -1;
};

} // namespace orvex::testutil
