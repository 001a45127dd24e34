// The rigctl server's answer time. "AnswerLine" is the protocol's own cost for one command;
// "RoundTrip" sends 1000 "f" queries one after another over loopback to the server running
// on its Qt event loop (in a thread of its own here, as the program runs it on the main
// thread) and reports the median and the 99th percentile; the reference is the same round
// trip to a bare echo thread on a blocking socket, so the ratio is what the server adds.
#include "RatioReporter.h"
#include "app/RigctlProtocol.h"
#include "app/RigctlServer.h"
#include "tests/app/FakeRig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <future>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvex;
using namespace orvex::app;

namespace {

constexpr int kQueries = 1000;

void AnswerLine(benchmark::State& state, const char* line) {
    testutil::FakeRig rig;
    RigctlState shared;
    for (auto _ : state)
        benchmark::DoNotOptimize(AnswerRigctlLine(rig, shared, line));
}

int Connect(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Sends a line and reads one answer line; false on a closed connection.
bool Ask(int fd, const char* line, std::size_t length) {
    if (::send(fd, line, length, 0) != static_cast<ssize_t>(length)) return false;
    char c = 0;
    char buffer[256];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        c = buffer[n - 1];
        if (c == '\n') return true;
    }
}

void ReportQuantiles(benchmark::State& state, std::vector<double>& us) {
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    state.counters["max_us"] = us.back();
    state.SetIterationTime(us[us.size() / 2] * 1e-6);
}

void RoundTrips(benchmark::State& state, std::uint16_t port) {
    const int fd = Connect(port);
    if (fd < 0) return state.SkipWithError("cannot connect");
    std::vector<double> us;
    us.reserve(kQueries);
    for (auto _ : state) {
        us.clear();
        for (int i = 0; i < kQueries; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            if (!Ask(fd, "f\n", 2)) return state.SkipWithError("connection closed");
            us.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                    .count());
        }
        ReportQuantiles(state, us);
    }
    ::close(fd);
}

void RoundTripServer(benchmark::State& state) {
    std::promise<std::uint16_t> portPromise;
    auto portFuture = portPromise.get_future();
    QThread* thread = QThread::create([&portPromise] {
        testutil::FakeRig rig;
        RigctlServer server(rig);
        portPromise.set_value(server.start(0) ? server.port() : 0);
        QEventLoop loop;
        loop.exec();
    });
    thread->start();
    const std::uint16_t port = portFuture.get();
    if (port != 0) RoundTrips(state, port);
    thread->exit();
    thread->wait();
    delete thread;
}

// The reference: a thread answering each line with a fixed line on blocking sockets.
void RoundTripEcho(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &size);
    std::thread echo([listener] {
        const int fd = ::accept(listener, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char buffer[256];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0)
            ::send(fd, "6015000\n", 8, 0);
        ::close(fd);
    });
    RoundTrips(state, ntohs(addr.sin_port));
    echo.join();
    ::close(listener);
}

} // namespace

BENCHMARK_CAPTURE(AnswerLine, f, "f");
BENCHMARK_CAPTURE(AnswerLine, l_STRENGTH, "l STRENGTH");
BENCHMARK_CAPTURE(AnswerLine, dump_state, "\\dump_state");
BENCHMARK(RoundTripServer)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(RoundTripEcho)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter(std::vector<std::pair<std::string, std::string>>{
        {"RoundTripServer/iterations:1/manual_time", "RoundTripEcho/iterations:1/manual_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
