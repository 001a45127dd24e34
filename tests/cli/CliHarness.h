// Runs orvexsdr-cli as a user runs it, in a fresh folder per test, and gives back its exit
// status and what it printed.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvex::testutil {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("orvex_cli_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    /// Runs `orvexsdr-cli <command> <args>` with `env` (NAME=value ...) before it. Unprivileged,
    /// a run as root drops to the user "nobody" first: for cases aimed at device nodes, so that
    /// a fault could never replace /dev/null on the machine running the tests.
    CliResult runCli(const std::string& command, const std::string& args,
                     const std::string& env = {}, bool unprivileged = false) const {
        const std::string outFile = path("stdout.txt"), errFile = path("stderr.txt");
        const std::string drop = unprivileged && ::geteuid() == 0
                                     ? "setpriv --reuid=65534 --regid=65534 --clear-groups "
                                     : "";
        const std::string cmd = env + (env.empty() ? "" : " ") + drop +
                                std::string(ORVEX_CLI_PATH) + " " + command + " " + args + " >" +
                                outFile + " 2>" + errFile;
        CliResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(outFile);
        r.err = slurp(errFile);
        std::filesystem::remove(outFile);
        std::filesystem::remove(errFile);
        return r;
    }
    /// A command started in the background: its standard error comes through `err` (and its
    /// standard output too when `outputToo`), and its standard input from `in` when asked for
    /// (a pipe the test writes to), else /dev/null.
    struct Running {
        pid_t pid = -1;
        int err = -1;
        int in = -1;
    };
    Running spawnCli(const std::vector<std::string>& args, bool pipeInput = false,
                     bool outputToo = false) const {
        int errPipe[2], inPipe[2] = {-1, -1};
        if (::pipe(errPipe) != 0 || (pipeInput && ::pipe(inPipe) != 0)) return {};
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = pipeInput ? inPipe[0] : ::open("/dev/null", O_RDONLY);
            const int out = outputToo ? errPipe[1] : ::open("/dev/null", O_WRONLY);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(errPipe[1], 2);
            std::vector<char*> argv{const_cast<char*>(ORVEX_CLI_PATH)};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(ORVEX_CLI_PATH, argv.data());
            ::_exit(127);
        }
        ::close(errPipe[1]);
        if (pipeInput) ::close(inPipe[0]);
        return {pid, errPipe[0], pipeInput ? inPipe[1] : -1};
    }
    /// Reads fd until `text` has appeared (true) or it closes or `seconds` pass (false).
    static bool waitForText(int fd, const std::string& text, double seconds,
                            std::string* seen = nullptr) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (got.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        if (seen) *seen = got;
        return got.find(text) != std::string::npos;
    }
    /// Waits for the child and gives its raw wait status.
    static int waitExit(const Running& r) {
        int status = 0;
        ::waitpid(r.pid, &status, 0);
        if (r.err >= 0) ::close(r.err);
        if (r.in >= 0) ::close(r.in);
        return status;
    }
    std::size_t fileCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(m_dir),
                                                      std::filesystem::directory_iterator()));
    }
    static std::string slurp(const std::string& file) {
        std::ifstream f(file);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    std::filesystem::path m_dir;
};

} // namespace orvex::testutil
