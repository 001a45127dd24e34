// The modem-line watcher thread: every CTS/DSR change queued in order with its time and its
// count, changes faster than the reader counted, the 1 ms polling fallback and its note,
// a port that stops answering, a full queue, and a clean end, also of a wait blocked in the
// kernel; the real port's line source on a pseudo-terminal. And the queue between the threads.
#include "radio/LinuxPorts.h"
#include "radio/ModemLineWatcher.h"
#include "radio/SpscQueue.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvex;
using Kind = ModemChange::Kind;
using Note = ModemChange::Note;

namespace {

constexpr auto kGuard = std::chrono::seconds(10); // only a failing test waits this long

// The consumer's side as an event loop has it: woken by the watcher's descriptor, it rearms
// and drains everything queued.
class Consumer {
public:
    /// Drains `w` whenever woken until `done` holds; false when it does not in time.
    bool waitFor(ModemLineWatcher& w, const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + kGuard;
        for (;;) {
            w.rearm();
            for (ModemChange c; w.pop(c);)
                records.push_back(c);
            if (done()) return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{w.wakeFd(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return done();
        }
    }
    std::vector<ModemChange> lines() const {
        std::vector<ModemChange> out;
        for (const auto& r : records)
            if (r.kind == Kind::Lines) out.push_back(r);
        return out;
    }
    std::uint64_t changes() const {
        std::uint64_t n = 0;
        for (const auto& r : lines())
            n += r.ctsChanges + r.dsrChanges;
        return n;
    }
    bool hasNote(Note note) const {
        for (const auto& r : records)
            if (r.kind == Kind::Note && r.note == note) return true;
        return false;
    }
    std::vector<ModemChange> records;
};

// A line source whose wait blocks in the kernel (a read of a pipe nobody writes) and only a
// signal ends, as TIOCMIWAIT does.
class KernelWaitSource final : public ModemLineSource {
public:
    KernelWaitSource() {
        if (::pipe(m_pipe) != 0) std::abort();
    }
    ~KernelWaitSource() override {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    Wait waitForChange(std::int64_t) override {
        waits.fetch_add(1);
        char c;
        return ::read(m_pipe[0], &c, 1) < 0 ? Wait::TimedOut : Wait::Changed;
    }
    bool read(ModemSnapshot& s) override {
        s = {};
        return true;
    }
    const std::string& device() const override { return m_device; }
    std::string error() const override { return {}; }
    std::atomic<int> waits{0};

private:
    int m_pipe[2];
    std::string m_device = "kernel wait";
};

// A pseudo-terminal: a tty with no modem lines.
struct Pty {
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        name = ::ptsname(master);
        slave = ::open(name.c_str(), O_RDWR | O_NOCTTY);
    }
    ~Pty() {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    int master = -1, slave = -1;
    std::string name;
};

} // namespace

TEST(SpscQueue, KeepsTheOrderBetweenTwoThreadsAndRefusesWhenFull) {
    SpscQueue<int, 8> small;
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(small.push(i));
    EXPECT_FALSE(small.push(8));
    int v = -1;
    ASSERT_TRUE(small.pop(v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(small.push(8));

    static SpscQueue<int, 64> q;
    constexpr int kCount = 200000;
    std::thread producer([] {
        for (int i = 0; i < kCount;)
            if (q.push(i)) ++i;
    });
    int expected = 0;
    bool inOrder = true;
    while (expected < kCount) {
        int got;
        if (!q.pop(got)) continue;
        inOrder = inOrder && got == expected;
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(q.empty());
}

TEST(ModemLineWatcher, QueuesEveryChangeInOrderWithItsTimeAndCount) {
    SoftModemLines lines;
    lines.set(true, true);
    Consumer c;
    ModemLineWatcher w(lines);
    ASSERT_TRUE(c.waitFor(w, [&] { return !c.records.empty(); }));
    EXPECT_EQ(c.records[0].kind, Kind::Start);
    EXPECT_TRUE(c.records[0].cts && c.records[0].dsr);
    EXPECT_EQ(w.mode(), ModemLineWatcher::Mode::Waiting);

    // Each change is read before the next is made: one record each, in order.
    std::vector<std::int64_t> madeAt;
    const bool levels[][2] = {{false, true}, {false, false}, {true, false}, {true, true}};
    for (const auto& l : levels) {
        madeAt.push_back(std::chrono::steady_clock::now().time_since_epoch().count());
        lines.set(l[0], l[1]);
        const std::size_t want = madeAt.size();
        ASSERT_TRUE(c.waitFor(w, [&] { return c.lines().size() == want; }));
    }
    const auto got = c.lines();
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].cts, levels[i][0]) << i;
        EXPECT_EQ(got[i].dsr, levels[i][1]) << i;
        EXPECT_EQ(got[i].ctsChanges + got[i].dsrChanges, 1u) << i;
        EXPECT_GE(got[i].timeNs, madeAt[i]) << i;
        if (i > 0) {
            EXPECT_GT(got[i].timeNs, got[i - 1].timeNs);
        }
    }
}

// Three changes between two reads come as one record that says three; a line that went and
// came back between reads still counts its two changes.
TEST(ModemLineWatcher, CountsChangesFasterThanTheReader) {
    SoftModemLines lines;
    lines.set(true, true);
    Consumer c;
    ModemLineWatcher w(lines);
    ASSERT_TRUE(c.waitFor(w, [&] { return !c.records.empty(); }));
    lines.apply(false, true, 1, 2); // 0 -> 2 -> 3 -> 1
    ASSERT_TRUE(c.waitFor(w, [&] { return c.lines().size() == 1; }));
    EXPECT_EQ(c.lines()[0].ctsChanges, 1u);
    EXPECT_EQ(c.lines()[0].dsrChanges, 2u);
    lines.toggle(true, 2);
    ASSERT_TRUE(c.waitFor(w, [&] { return c.lines().size() == 2; }));
    EXPECT_EQ(c.lines()[1].ctsChanges, 2u);
    EXPECT_FALSE(c.lines()[1].cts);
}

// A driver that cannot wait: the note once, then every change still arrives, read each ms.
// Without counts the levels alone say what changed, and a note says so.
TEST(ModemLineWatcher, PollsEveryMillisecondWhereTheDriverCannotWaitAndSaysSoOnce) {
    SoftModemLines lines("/dev/ttyUSB3");
    lines.setWaitSupported(false);
    lines.setCountsSupported(false);
    Consumer c;
    ModemLineWatcher w(lines);
    ASSERT_TRUE(c.waitFor(w, [&] { return c.hasNote(Note::Polling); }));
    EXPECT_EQ(w.mode(), ModemLineWatcher::Mode::Polling);
    EXPECT_NE(w.noteText(Note::Polling).find("/dev/ttyUSB3"), std::string::npos);
    EXPECT_NE(w.noteText(Note::Polling).find("every 1 ms"), std::string::npos);
    EXPECT_TRUE(c.hasNote(Note::NoCounts));
    for (int i = 0; i < 6; ++i) {
        lines.toggle(i % 2 == 0);
        ASSERT_TRUE(c.waitFor(w, [&] { return c.changes() == static_cast<unsigned>(i + 1); }));
    }
    int notes = 0;
    for (const auto& r : c.records)
        notes += r.kind == Kind::Note && r.note == Note::Polling;
    EXPECT_EQ(notes, 1);
    w.stop();
    EXPECT_EQ(w.mode(), ModemLineWatcher::Mode::Ended);
}

TEST(ModemLineWatcher, EndsWithANoteWhenThePortStopsAnswering) {
    SoftModemLines lines("/dev/ttyUSB0");
    Consumer c;
    ModemLineWatcher w(lines);
    ASSERT_TRUE(c.waitFor(w, [&] { return !c.records.empty(); }));
    lines.setReadFails(true);
    ASSERT_TRUE(c.waitFor(w, [&] { return c.hasNote(Note::Failed); }));
    EXPECT_NE(w.noteText(Note::Failed).find("/dev/ttyUSB0"), std::string::npos);
    ASSERT_TRUE(c.waitFor(w, [&] { return w.mode() == ModemLineWatcher::Mode::Ended; }));
    w.stop(); // the thread has ended by itself: stop returns at once
}

// A consumer that does not drain: the queue fills, later changes are merged into one held
// record, and no change is lost.
TEST(ModemLineWatcher, AFullQueueMergesChangesInsteadOfLosingThem) {
    SoftModemLines lines;
    Consumer c;
    ModemLineWatcher w(lines);
    ASSERT_TRUE(c.waitFor(w, [&] { return !c.records.empty(); })); // the lines at the start
    constexpr int kToggles = 3000;
    for (int i = 0; i < kToggles; ++i) {
        const auto woken = w.wakeUps();
        lines.toggle(i % 2 == 0);
        const auto end = std::chrono::steady_clock::now() + kGuard;
        while (w.wakeUps() == woken) // the watcher has seen this change before the next
            ASSERT_LT(std::chrono::steady_clock::now(), end);
    }
    EXPECT_GT(w.overflows(), 0u);
    ASSERT_TRUE(c.waitFor(w, [&] { return c.changes() == kToggles; })) << c.changes();
    EXPECT_LE(c.lines().size(), ModemLineWatcher::kQueueLength + 8);
}

TEST(ModemLineWatcher, StopEndsAWaitBlockedInTheKernel) {
    KernelWaitSource source;
    {
        ModemLineWatcher w(source);
        const auto end = std::chrono::steady_clock::now() + kGuard;
        while (source.waits.load() == 0)
            ASSERT_LT(std::chrono::steady_clock::now(), end);
        w.stop();
        EXPECT_EQ(w.mode(), ModemLineWatcher::Mode::Ended);
        EXPECT_GE(w.cpuTimeNs(), 0);
    }
    // The watcher starts with every signal blocked; the creating thread's mask is as it was.
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    EXPECT_FALSE(sigismember(&mask, SIGTERM));
}

// A pseudo-terminal has no modem lines: the real port's source is refused the wait with the
// driver's reason, and its lines cannot be read.
TEST(LinuxModemLines, APseudoTerminalRefusesTheWaitAndTheRead) {
    Pty tty;
    ASSERT_GE(tty.slave, 0);
    const std::string& name = tty.name;
    LinuxModemLines pty(tty.slave, name);
    EXPECT_EQ(pty.waitForChange(1'000'000), ModemLineSource::Wait::Refused);
    EXPECT_NE(pty.error().find("TIOCMIWAIT"), std::string::npos) << pty.error();
    ModemSnapshot s;
    EXPECT_FALSE(pty.read(s));
    EXPECT_NE(pty.error().find(name), std::string::npos) << pty.error();

    // The watcher on it ends by itself, saying why.
    Consumer c;
    ModemLineWatcher w(pty);
    ASSERT_TRUE(c.waitFor(w, [&] { return c.hasNote(Note::Failed); }));
    EXPECT_NE(w.noteText(Note::Failed).find(name), std::string::npos);
    w.stop();
}

// The pty's own refusal of TIOCMIWAIT sends the watcher to polling, with its log line; CTS
// and DSR (which a pty does not carry) come from memory. Closing ends the polling thread.
TEST(LinuxModemLines, TheDriversRefusalSendsTheWatcherToPollingUntilThePortCloses) {
    Pty tty;
    ASSERT_GE(tty.slave, 0);
    const std::string& name = tty.name;

    class PtyWithLines final : public ModemLineSource {
    public:
        PtyWithLines(int fd, const std::string& device) : wait(fd, device), levels(device) {}
        Wait waitForChange(std::int64_t ns) override { return wait.waitForChange(ns); }
        bool read(ModemSnapshot& s) override { return levels.read(s); }
        const std::string& device() const override { return levels.device(); }
        std::string error() const override { return wait.error(); }
        LinuxModemLines wait;
        SoftModemLines levels;
    } port(tty.slave, name);

    Consumer c;
    auto w = std::make_unique<ModemLineWatcher>(port);
    ASSERT_TRUE(c.waitFor(*w, [&] { return c.hasNote(Note::Polling); }));
    const std::string& text = w->noteText(Note::Polling);
    EXPECT_NE(text.find(name), std::string::npos) << text;
    EXPECT_NE(text.find("TIOCMIWAIT"), std::string::npos) << text;
    port.levels.toggle(false);
    ASSERT_TRUE(c.waitFor(*w, [&] { return c.changes() == 1; }));
    w.reset(); // the port closes: the thread ends first
}
