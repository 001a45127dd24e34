// Runs orvexsdr-cli as a user runs it, in a fresh folder per test, and gives back its exit
// status and what it printed.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>

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

    /// Runs `orvexsdr-cli <command> <args>` with `env` (NAME=value ...) before it.
    CliResult runCli(const std::string& command, const std::string& args,
                     const std::string& env = {}) const {
        const std::string outFile = path("stdout.txt"), errFile = path("stderr.txt");
        const std::string cmd = env + (env.empty() ? "" : " ") + std::string(ORVEX_CLI_PATH) + " " +
                                command + " " + args + " >" + outFile + " 2>" + errFile;
        CliResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(outFile);
        r.err = slurp(errFile);
        std::filesystem::remove(outFile);
        std::filesystem::remove(errFile);
        return r;
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
