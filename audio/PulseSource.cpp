#include "PulseSource.h"

#include "core/Error.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::audio {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kModule = "module-pipe-source";
constexpr const char* kFifoPrefix = "orvexsdr-source-";
constexpr const char* kFifoSuffix = ".fifo";

// One short conversation with the sound server on a mainloop of our own, every wait bounded.
class Conversation {
public:
    explicit Conversation(int timeoutMs)
        : m_deadline(Clock::now() + std::chrono::milliseconds(timeoutMs)) {
        m_loop = pa_mainloop_new();
        if (m_loop) m_context = pa_context_new(pa_mainloop_get_api(m_loop), "OrvexSDR");
    }
    ~Conversation() {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop) pa_mainloop_free(m_loop);
    }
    Conversation(const Conversation&) = delete;
    Conversation& operator=(const Conversation&) = delete;

    bool connect(const std::string& server, std::string& error) {
        if (!m_context) {
            error = "the sound server's client library could not start";
            return false;
        }
        // Never start a server: without one the user is told, and the receiver plays on.
        if (pa_context_connect(m_context, server.empty() ? nullptr : server.c_str(),
                               PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return fail("cannot reach", error);
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state)) return fail("cannot reach", error);
            if (!step()) {
                error = "the sound server did not answer in time";
                return false;
            }
        }
    }

    /// Runs the loop until `op` completes. False with `error` when it cannot.
    bool wait(pa_operation* op, std::string& error) {
        if (!op) return fail("the sound server refused a request", error);
        bool ok = true;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) || !step()) {
                pa_operation_cancel(op);
                error = "the sound server stopped answering";
                ok = false;
                break;
            }
        }
        pa_operation_unref(op);
        return ok;
    }

    pa_context* context() { return m_context; }
    std::string lastError() const {
        return m_context ? pa_strerror(pa_context_errno(m_context)) : "no context";
    }

private:
    bool fail(const char* what, std::string& error) {
        error = std::string(what) + " the sound server: " + lastError();
        return false;
    }
    bool step() {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(m_deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (pa_mainloop_prepare(m_loop, static_cast<int>(left.count())) < 0) return false;
        if (pa_mainloop_poll(m_loop) < 0) return false;
        return pa_mainloop_dispatch(m_loop) >= 0;
    }

    Clock::time_point m_deadline;
    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
};

// The value of `key` in a module's argument string (words separated by blanks, values
// optionally in single or double quotes); empty when it is not there.
std::string ArgumentValue(const std::string& arguments, const std::string& key) {
    std::size_t i = 0;
    const std::size_t n = arguments.size();
    while (i < n) {
        while (i < n && (arguments[i] == ' ' || arguments[i] == '\t'))
            ++i;
        const std::size_t eq = arguments.find('=', i);
        if (eq == std::string::npos) break;
        const std::string name = arguments.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < n && (arguments[i] == '\'' || arguments[i] == '"')) {
            const char quote = arguments[i++];
            while (i < n && arguments[i] != quote)
                value += arguments[i++];
            ++i;
        } else {
            while (i < n && arguments[i] != ' ' && arguments[i] != '\t')
                value += arguments[i++];
        }
        if (name == key) return value;
    }
    return {};
}

// The process that made a FIFO of ours ("orvexsdr-source-1234.fifo"); 0 for another name.
pid_t FifoOwner(const std::string& path) {
    const std::string base = path.substr(path.rfind('/') + 1);
    const std::string prefix = kFifoPrefix, suffix = kFifoSuffix;
    if (base.size() <= prefix.size() + suffix.size() || !base.starts_with(prefix) ||
        !base.ends_with(suffix))
        return 0;
    const std::string digits =
        base.substr(prefix.size(), base.size() - prefix.size() - suffix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        digits.size() > 9)
        return 0;
    return static_cast<pid_t>(std::stol(digits));
}

bool ProcessRuns(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// $XDG_RUNTIME_DIR, or /tmp/orvexsdr-UID made private to this user.
bool FifoFolder(const PulseSourceOptions& options, std::string& folder, std::string& error) {
    if (!options.fifoFolder.empty()) {
        folder = options.fifoFolder;
        return true;
    }
    struct stat st {};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
        folder = runtime;
        return true;
    }
    folder = "/tmp/orvexsdr-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = ErrnoText("cannot make the folder " + folder, errno);
        return false;
    }
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        error = folder + " is not a private folder of this user";
        return false;
    }
    return true;
}

// A value for the module's arguments, quoted so that blanks survive.
std::string Quoted(const std::string& value) {
    return "\"" + value + "\"";
}

} // namespace

PulseSource::PulseSource(PulseSourceOptions options)
    : m_options(std::move(options)), m_scratch(kMaxBacklogBytes) {}

PulseSource::~PulseSource() {
    close();
}

bool PulseSource::open(std::string& error) {
    close();
    m_staleRemoved = 0;
    for (const char c : m_options.name + m_options.description)
        if (c == '"' || c == '\'' || c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            error = "the source's name and description may not hold quotes or control characters";
            return false;
        }
    std::string folder;
    if (!FifoFolder(m_options, folder, error)) return false;
    const std::string fifo = folder + "/" + kFifoPrefix + std::to_string(::getpid()) + kFifoSuffix;
    if (fifo.find('"') != std::string::npos) {
        error = "the folder " + folder + " has a quote in its name";
        return false;
    }

    Conversation talk(m_options.timeoutMs);
    if (!talk.connect(m_options.server, error)) {
        error = "no sound server is running (PipeWire or PulseAudio): " + error;
        return false;
    }

    // Sources of this name: ours from a process that is gone (or from this one) are removed;
    // anyone else's is left alone and reported.
    struct Found {
        std::uint32_t index;
        std::string file;
    };
    struct Listing {
        std::string name;
        std::vector<Found> found;
    } listing{m_options.name, {}};
    auto onModule = [](pa_context*, const pa_module_info* info, int eol, void* data) {
        auto* l = static_cast<Listing*>(data);
        if (eol != 0 || !info || !info->name || std::strcmp(info->name, kModule) != 0) return;
        const std::string args = info->argument ? info->argument : "";
        if (ArgumentValue(args, "source_name") == l->name)
            l->found.push_back({info->index, ArgumentValue(args, "file")});
    };
    if (!talk.wait(pa_context_get_module_info_list(talk.context(), onModule, &listing), error))
        return false;
    for (const Found& f : listing.found) {
        const pid_t owner = FifoOwner(f.file);
        if (owner == 0) {
            error = "the sound server already has a source named " + m_options.name +
                    " that OrvexSDR did not make (module " + std::to_string(f.index) + ")";
            return false;
        }
        if (owner != ::getpid() && ProcessRuns(owner)) {
            error = "another OrvexSDR (process " + std::to_string(owner) +
                    ") already offers the source " + m_options.name;
            return false;
        }
        bool unloaded = false;
        auto onDone = [](pa_context*, int success, void* data) {
            *static_cast<bool*>(data) = success != 0;
        };
        if (!talk.wait(pa_context_unload_module(talk.context(), f.index, onDone, &unloaded),
                       error) ||
            !unloaded) {
            error = "cannot remove the source " + m_options.name + " left by process " +
                    std::to_string(owner) + ": " + (error.empty() ? talk.lastError() : error);
            return false;
        }
        ::unlink(f.file.c_str()); // in case the server left it
        ++m_staleRemoved;
    }

    // A file at our own name is a leftover of an earlier process with our number.
    ::unlink(fifo.c_str());
    const std::string args = "source_name=" + Quoted(m_options.name) + " file=" + Quoted(fifo) +
                             " format=s16le rate=48000 channels=1 channel_map=mono"
                             " source_properties='device.description=" +
                             Quoted(m_options.description) + "'";
    struct Loaded {
        std::uint32_t index = PA_INVALID_INDEX;
    } loaded;
    auto onLoaded = [](pa_context*, std::uint32_t index, void* data) {
        static_cast<Loaded*>(data)->index = index;
    };
    if (!talk.wait(pa_context_load_module(talk.context(), kModule, args.c_str(), onLoaded, &loaded),
                   error))
        return false;
    if (loaded.index == PA_INVALID_INDEX) {
        error = "the sound server would not make the source " + m_options.name + ": " +
                talk.lastError();
        return false;
    }
    // Open for reading too: the FIFO then always has a reader, so opening never waits and a
    // server that goes away cannot raise SIGPIPE.
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        error = ErrnoText("cannot open the source's FIFO " + fifo, fd < 0 ? errno : EINVAL);
        if (fd >= 0) ::close(fd);
        talk.wait(pa_context_unload_module(talk.context(), loaded.index, nullptr, nullptr), error);
        return false;
    }
    m_fd = fd;
    m_fifo = fifo;
    m_module = loaded.index;
    m_written = m_discarded = m_lost = 0;
    m_firstError.clear();
    return true;
}

void PulseSource::close() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    // A server that has gone leaves nothing to remove; one that does not answer keeps the
    // source until the next open() finds it.
    Conversation talk(m_options.timeoutMs);
    std::string error;
    if (talk.connect(m_options.server, error))
        talk.wait(pa_context_unload_module(talk.context(), m_module, nullptr, nullptr), error);
    m_module = PA_INVALID_INDEX;
}

void PulseSource::write(const std::int16_t* samples, std::size_t count) {
    if (m_fd < 0) return;
    // A backlog means nobody records from the source: the server reads the FIFO only then.
    int queued = 0;
    if (::ioctl(m_fd, FIONREAD, &queued) == 0 &&
        static_cast<std::size_t>(queued) > kMaxBacklogBytes) {
        for (;;) {
            const ssize_t n = ::read(m_fd, m_scratch.data(), m_scratch.size());
            if (n <= 0) break;
            m_discarded += n / 2;
        }
    }
    static_assert(std::endian::native == std::endian::little,
                  "the source is read as s16le: samples go into the FIFO as they are");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
    std::size_t left = 2 * count;
    // Writes of up to PIPE_BUF bytes (a block is exactly that) go in whole or not at all.
    while (left > 0) {
        const std::size_t chunk = std::min<std::size_t>(left, PIPE_BUF);
        const ssize_t n = ::write(m_fd, bytes, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(chunk)) {
            m_lost += static_cast<std::int64_t>(left / 2);
            if (m_firstError.empty()) m_firstError = n < 0 ? std::strerror(errno) : "short write";
            return;
        }
        m_written += static_cast<std::int64_t>(chunk / 2);
        bytes += chunk;
        left -= chunk;
    }
}

} // namespace orvex::audio
