// The safe file writer and reader: device nodes and FIFOs written in place and never replaced,
// outputs that are an input refused under any spelling, temporary files gone on failure and on
// a signal, inputs that are not regular files refused without blocking.
#include "core/Folders.h"
#include "core/SafeFile.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("orvex_safe_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "sub");
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    std::size_t entries() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_dir))
            ++n;
        return n;
    }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    fs::path m_dir;
};

bool IsCharDevice(const char* p) {
    struct stat st {};
    return ::stat(p, &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

TEST_F(SafeFileTest, DeviceNodesAreWrittenInPlaceAndKeptWithTheirErrorsReported) {
    // In a child without root, so that a fault could never replace the machine's device nodes.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        FileError e;
        if (!WriteWholeFile("/dev/null", std::string(3 << 20, 'x'), &e)) ::_exit(11);
        // The device accepts nothing: the failure is told.
        if (WriteWholeFile("/dev/full", "some audio", &e) || e.number != ENOSPC) ::_exit(12);
        ::_exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(IsCharDevice("/dev/null"));
    EXPECT_TRUE(IsCharDevice("/dev/full"));
    FileError error;

    // A FIFO with a reader gets every byte and stays a FIFO; without one it is refused at once.
    const std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(WriteWholeFile(fifo, "x", &error));
    EXPECT_NE(error.describe().find("no program is reading"), std::string::npos);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    SafeFileWriter w;
    ASSERT_TRUE(w.open(fifo, &error)) << error.describe();
    EXPECT_TRUE(w.isDirect());
    ASSERT_TRUE(w.append("header-", 7, &error));
    ASSERT_TRUE(w.append("body", 4, &error));
    ASSERT_TRUE(w.writeAt(0, "HEADER-", 7, &error)); // a FIFO cannot seek: kept as sent
    ASSERT_TRUE(w.commit(&error)) << error.describe();
    char got[32] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 11);
    ::close(reader);
    EXPECT_EQ(std::string(got), "HEADER-body"); // buffered until commit, so patched in time
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    EXPECT_FALSE(WriteWholeFile(path("sub"), "x", &error));
    EXPECT_EQ(error.number, EISDIR);
    EXPECT_EQ(entries(), 2u); // nothing new
}

TEST_F(SafeFileTest, AnOutputThatIsAnInputIsRefusedUnderAnySpelling) {
    const std::string in = path("sub/if.wav");
    std::ofstream(in) << "the recording";
    ASSERT_EQ(::link(in.c_str(), path("hard.wav").c_str()), 0);
    ASSERT_EQ(::symlink(in.c_str(), path("soft.wav").c_str()), 0);
    std::vector<NamedInput> inputs;
    AddInput(inputs, in);
    AddInput(inputs, path("missing.scene")); // not there: nothing to protect
    ASSERT_EQ(inputs.size(), 1u);
    const fs::path cwd = fs::current_path();
    fs::current_path(m_dir);
    for (const std::string& out :
         {in, std::string("sub/if.wav"), std::string("./sub/if.wav"),
          std::string("sub/../sub/if.wav"), std::string("hard.wav"), std::string("soft.wav")}) {
        FileError error;
        EXPECT_FALSE(WriteWholeFile(out, "audio", &error, inputs)) << out;
        EXPECT_NE(error.describe().find("same file as the input"), std::string::npos) << out;
    }
    EXPECT_EQ(slurp(in), "the recording");
    EXPECT_EQ(entries(), 3u); // sub, hard.wav, soft.wav: no temporary file
    EXPECT_TRUE(WriteWholeFile("sub/other.wav", "audio", nullptr, inputs));
    fs::current_path(cwd);
}

TEST_F(SafeFileTest, ReplacesWholeOrNotAtAllAndTheSignalRemovesTheTemporaryFile) {
    const std::string file = path("plan.bpl");
    std::ofstream(file) << "old";
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    {
        SafeFileWriter w;
        ASSERT_TRUE(w.open(file));
        ASSERT_TRUE(w.append("new", 3));
        EXPECT_EQ(entries(), 2u); // sub and the file: the new one has no name until commit()
        EXPECT_EQ(slurp(file), "old");
    } // destroyed before commit: the temporary file goes, the old file stays
    EXPECT_EQ(entries(), 2u);
    ASSERT_TRUE(WriteWholeFile(file, std::string(3 << 20, 'n'))); // past the buffer
    EXPECT_EQ(fs::file_size(file), 3u << 20);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // Killed while writing: the handler removes the temporary file, the process ends by the
    // signal, and the target was never touched.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallTempFileCleanup();
        SafeFileWriter w;
        if (!w.open(path("rec.wav")) || !w.append("partial", 7)) ::_exit(3);
        ::raise(SIGTERM);
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(entries(), 2u); // sub and plan.bpl
}

TEST_F(SafeFileTest, InputsMustBeRegularFilesAndAreCheckedWithoutBlocking) {
    const std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string text;
    FileError error;
    EXPECT_FALSE(ReadWholeFile(fifo, text, 1000, &error)); // returns at once: no writer waited
    EXPECT_NE(error.describe().find("not a regular file"), std::string::npos);
    EXPECT_FALSE(ReadWholeFile("/dev/zero", text, 1000, &error));
    EXPECT_FALSE(ReadWholeFile(path("sub"), text, 1000, &error));
    EXPECT_EQ(error.number, EISDIR);
    bool missing = false;
    EXPECT_FALSE(ReadWholeFile(path("none"), text, 1000, &error, &missing));
    EXPECT_TRUE(missing);
    std::ofstream(path("big")) << std::string(1001, 'b');
    EXPECT_FALSE(ReadWholeFile(path("big"), text, 1000, &error));
    EXPECT_EQ(error.number, EFBIG);
    ASSERT_TRUE(ReadWholeFile(path("big"), text, 1001, &error));
    EXPECT_EQ(text.size(), 1001u);
}

// Files the program reads at start-up go through the same reader: a FIFO or a link to
// /dev/zero in place of ~/.config/user-dirs.dirs, or a huge file, neither stalls nor fills
// memory; the folder then comes from the environment. The trace log's appends refuse a FIFO
// at once too. Each case runs in a child that must finish within five seconds.
TEST_F(SafeFileTest, StartUpFilesThatAreNotRegularFilesNeverStallTheProgram) {
    const auto finishesQuickly = [](const std::function<bool()>& work) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(5); // a reader that stalls is ended by SIGALRM
            ::_exit(work() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    const std::string config = path("config");
    fs::create_directories(config);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_MUSIC_DIR", "/srv/music", 1);
    const std::string dirs = config + "/user-dirs.dirs";
    const auto musicFromEnvironment = [] { return XdgUserFolder("MUSIC") == "/srv/music"; };

    ASSERT_EQ(::mkfifo(dirs.c_str(), 0644), 0);
    EXPECT_TRUE(finishesQuickly(musicFromEnvironment)) << "FIFO";
    fs::remove(dirs);
    fs::create_symlink("/dev/zero", dirs);
    EXPECT_TRUE(finishesQuickly(musicFromEnvironment)) << "link to /dev/zero";
    fs::remove(dirs);
    {
        std::ofstream big(dirs);
        big << "XDG_MUSIC_DIR=\"/big\"\n";
    }
    fs::resize_file(dirs, 1ull << 30); // a sparse gigabyte: never read
    EXPECT_TRUE(finishesQuickly(musicFromEnvironment)) << "a gigabyte";
    fs::remove(dirs);
    std::ofstream(dirs) << "XDG_MUSIC_DIR=\"/home/x/Klang\"\r\n";
    EXPECT_EQ(XdgUserFolder("MUSIC"), "/home/x/Klang");

    const std::string log = path("log");
    ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0);
    EXPECT_TRUE(finishesQuickly([&] { return !AppendToFile(log, "line\n"); }));
    ASSERT_TRUE(AppendToFile(path("log2"), "a\n"));
    ASSERT_TRUE(AppendToFile(path("log2"), "b\n"));
    EXPECT_EQ(slurp(path("log2")), "a\nb\n");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_MUSIC_DIR");
}

// What a process killed outright in the middle of a save may leave (on a file system without
// anonymous files): the next start removes its own stale temporary files, and nothing else.
TEST_F(SafeFileTest, StaleTemporaryFilesOfOurOwnTargetsAloneAreRemoved) {
    const auto make = [&](const std::string& name, std::time_t age) {
        std::ofstream(path(name)) << "x";
        const timespec times[2] = {{std::time(nullptr) - age, 0}, {std::time(nullptr) - age, 0}};
        ::utimensat(AT_FDCWD, path(name).c_str(), times, AT_SYMLINK_NOFOLLOW);
    };
    make(".Broadcast.bpl.tmp.Ab3dE9", 3600);  // ours, an hour old: goes
    make(".Broadcast.bpl.tmp.Zz0011", 5);     // ours, a save in progress: stays
    make(".notes.txt.tmp.Ab3dE9", 3600);      // not a target of ours: stays
    make(".Broadcast.bpl.tmp.Ab3dE", 3600);   // another program's pattern: stays
    make(".Broadcast.bpl.tmp.Ab3dE9~", 3600); // likewise
    make("Broadcast.bpl.tmp.Ab3dE9", 3600);   // likewise
    fs::create_symlink(path(".notes.txt.tmp.Ab3dE9"), path(".HF.bpl.tmp.qqqqqq"));
    const auto removed = RemoveStaleTempFiles(m_dir.string(), [](std::string_view target) {
        return target.size() > 4 && target.substr(target.size() - 4) == ".bpl";
    });
    ASSERT_EQ(removed, std::vector<std::string>{".Broadcast.bpl.tmp.Ab3dE9"});
    EXPECT_EQ(entries(), 7u); // sub, the five other files and the link
    std::string target;
    EXPECT_TRUE(IsTempFileOf(".OrvexSDR_Brisko.ini.tmp.a1B2c3", &target));
    EXPECT_EQ(target, "OrvexSDR_Brisko.ini");
    EXPECT_FALSE(IsTempFileOf(".tmp.a1B2c3"));
}
