#include "SafeFile.h"

#include "core/Folders.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

constexpr std::size_t kWriteBufferBytes = 1 << 20;
constexpr std::size_t kReadChunkBytes = 1 << 16;

std::string DirName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Fail(FileError* error, int number, std::string what) {
    if (error) {
        error->number = number;
        error->what = std::move(what);
    }
    return false;
}

// The live temporary files, for removal from a signal handler: fixed slots, no allocation,
// a slot's path is complete before the slot is marked live.
constexpr int kTempSlots = 32;
struct TempSlot {
    std::atomic<int> state{0}; // 0 free, 1 being filled or emptied, 2 live
    char path[PATH_MAX];
};
TempSlot g_tempSlots[kTempSlots];

int RegisterTemp(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kTempSlots; ++i) {
        int expected = 0;
        if (!g_tempSlots[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(g_tempSlots[i].path, path.c_str(), path.size() + 1);
        g_tempSlots[i].state.store(2, std::memory_order_release);
        return i;
    }
    return -1; // every slot taken: the file is still removed on every ordinary failure path
}

void UnregisterTemp(int slot) {
    if (slot < 0) return;
    g_tempSlots[slot].state.store(1, std::memory_order_release);
    g_tempSlots[slot].state.store(0, std::memory_order_release);
}

void CleanupAndReraise(int signalNumber) {
    RemoveTempFilesNow();
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// The cleanup signals held off for a scope: a temporary file's name and its registration,
// or its link and rename, happen as one step as far as the handlers can see.
class SignalBlock {
public:
    SignalBlock() {
        sigset_t cleanupSignals;
        sigemptyset(&cleanupSignals);
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&cleanupSignals, s);
        ::pthread_sigmask(SIG_BLOCK, &cleanupSignals, &m_previous);
    }
    ~SignalBlock() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    sigset_t m_previous;
};

constexpr char kTempInfix[] = ".tmp.";
constexpr std::size_t kTempSuffixChars = 6;
constexpr char kTempAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// ".NAME.tmp.XXXXXX" beside target, as mkostemp wants it.
std::string TempNamePattern(const std::string& target) {
    return DirName(target) + "/." + BaseName(target) + kTempInfix +
           std::string(kTempSuffixChars, 'X');
}

// Gives the anonymous file open on fd a fresh temporary name beside target; empty (with errno's
// value in err) when it cannot.
std::string LinkAnonymous(int fd, const std::string& target, int& err) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    std::string name = TempNamePattern(target);
    for (int attempt = 0; attempt < 64; ++attempt) {
        unsigned char random[kTempSuffixChars];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            for (std::size_t i = 0; i < kTempSuffixChars; ++i)
                random[i] = static_cast<unsigned char>(std::rand());
        for (std::size_t i = 0; i < kTempSuffixChars; ++i)
            name[name.size() - kTempSuffixChars + i] =
                kTempAlphabet[random[i] % (sizeof kTempAlphabet - 1)];
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return name;
        if (errno != EEXIST) break;
    }
    err = errno;
    return {};
}

// Tests that must catch the program in the middle of a save (to kill it there) set
// ORVEX_TEST_SLOW_SAVE to "MS:PATH": the save of PATH then says so on stderr and waits MS
// milliseconds once the new file is complete, before it takes the target's place. Unset, this
// costs one getenv per save.
void HoldSaveForTests(const std::string& path) {
    const char* value = std::getenv("ORVEX_TEST_SLOW_SAVE");
    if (!value) return;
    char* rest = nullptr;
    const long ms = std::strtol(value, &rest, 10);
    if (ms <= 0 || *rest != ':' || path != rest + 1) return;
    std::fprintf(stderr, "orvex test hook: holding the save of %s for %ld ms\n", path.c_str(), ms);
    std::fflush(stderr);
    timespec left{ms / 1000, (ms % 1000) * 1000000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::int64_t WriteFully(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) {
            errno = EIO;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

} // namespace

std::string FileError::describe() const {
    std::string text = number != 0 ? std::strerror(number) : "failed";
    if (!what.empty()) text += " (" + what + ")";
    return text;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

void AddInput(std::vector<NamedInput>& inputs, const std::string& path) {
    if (path == "-") return;
    if (const auto id = IdentityOf(path)) inputs.push_back({path, *id});
}

const NamedInput* SameFileAsInput(const std::string& output,
                                  const std::vector<NamedInput>& inputs) {
    const auto id = IdentityOf(output);
    if (!id) return nullptr;
    for (const auto& input : inputs)
        if (input.identity == *id) return &input;
    return nullptr;
}

// ---- reading -------------------------------------------------------------------------------

InputFile::~InputFile() {
    close();
}

InputFile::InputFile(InputFile&& other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)), m_size(other.m_size),
      m_identity(other.m_identity) {
    other.m_fd = -1;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        m_size = other.m_size;
        m_identity = other.m_identity;
        other.m_fd = -1;
    }
    return *this;
}

void InputFile::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool InputFile::open(const std::string& path, FileError* error, bool* missing) {
    close();
    m_path = path;
    if (missing) *missing = false;
    if (path.empty()) return Fail(error, ENOENT, "no file name given");
    // Non-blocking, so that a FIFO in place of the file cannot stall the program here.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT && missing) *missing = true;
        return Fail(error, e, "opening " + path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return Fail(error, e, "examining " + path);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Fail(error, EISDIR, "reading " + path);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(error, EINVAL,
                    path + " is not a regular file (a FIFO, device or socket is never read)");
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); // files are read front to back
    m_fd = fd;
    m_size = st.st_size;
    m_identity = {st.st_dev, st.st_ino};
    return true;
}

std::int64_t InputFile::read(void* dst, std::size_t size, FileError* error) {
    for (;;) {
        const ssize_t n = ::read(m_fd, dst, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        Fail(error, errno, "reading " + m_path);
        return -1;
    }
}

bool ReadWholeFile(const std::string& path, std::string& text, std::uint64_t maxBytes,
                   FileError* error, bool* missing) {
    text.clear();
    InputFile file;
    if (!file.open(path, error, missing)) return false;
    const auto tooLarge = [&] {
        return Fail(error, EFBIG, path + " is larger than " + std::to_string(maxBytes) + " bytes");
    };
    if (static_cast<std::uint64_t>(file.size()) > maxBytes) return tooLarge();
    text.reserve(static_cast<std::size_t>(file.size()));
    char buffer[kReadChunkBytes];
    for (;;) {
        const std::int64_t n = file.read(buffer, sizeof buffer, error);
        if (n < 0) {
            text.clear();
            return false;
        }
        if (n == 0) return true;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > maxBytes) { // grew while being read
            text.clear();
            return tooLarge();
        }
    }
}

bool AppendToFile(const std::string& path, std::string_view text, FileError* error) {
    if (path.empty()) return Fail(error, ENOENT, "no file name given");
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) return Fail(error, errno, "opening " + path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        ::close(fd);
        return S_ISREG(st.st_mode) ? Fail(error, e, "examining " + path)
                                   : Fail(error, EINVAL, path + " is not a regular file");
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    const bool written = WriteFully(fd, text.data(), text.size()) >= 0;
    const int e = errno;
    if (::close(fd) != 0 && written) return Fail(error, errno, "closing " + path);
    return written || Fail(error, e, "writing " + path);
}

// ---- writing -------------------------------------------------------------------------------

SafeFileWriter::SafeFileWriter() = default;

SafeFileWriter::~SafeFileWriter() {
    discard();
}

bool SafeFileWriter::fail(FileError* error, int number, std::string what) {
    discard();
    return Fail(error, number, std::move(what));
}

bool SafeFileWriter::open(const std::string& path, FileError* error,
                          const std::vector<NamedInput>& inputs) {
    discard();
    m_path = path;
    m_target = path;
    m_temp.clear();
    m_direct = m_replaces = m_anonymous = false;
    m_size = m_flushed = 0;
    if (path.empty()) return Fail(error, ENOENT, "no file name given");
    if (path.back() == '/') return Fail(error, EISDIR, "writing " + path);

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            m_target = real;
            std::free(real);
        }
    }
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(error, EISDIR, "writing " + path);
        if (S_ISBLK(st.st_mode))
            return Fail(error, EPERM, path + " is a block device (a disk): it is never written");
        if (S_ISSOCK(st.st_mode)) return Fail(error, EPERM, path + " is a socket");
        for (const auto& input : inputs)
            if (input.identity == FileIdentity{st.st_dev, st.st_ino})
                return Fail(error, EINVAL,
                            path + " is the same file as the input " + input.path +
                                "; writing it would destroy the input");
        m_direct = S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode);
        m_replaces = !m_direct;
        m_mode = st.st_mode & 07777;
        m_uid = st.st_uid;
        m_gid = st.st_gid;
        if (m_replaces && ::access(m_target.c_str(), W_OK) != 0)
            return Fail(error, errno, "writing " + path + ": the file is read-only");
    } else if (errno != ENOENT) {
        return Fail(error, errno, "examining " + path);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        m_mode = 0666 & ~mask;
    }

    if (m_direct) {
        // Written in place: the node (a device, a FIFO) must never be replaced by a file.
        // Opened without blocking, so a FIFO with no reader is refused at once.
        const int fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            const int e = errno;
            return Fail(error, e,
                        e == ENXIO ? "writing " + path + ": no program is reading from it"
                                   : "opening " + path);
        }
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        m_fd = fd;
    } else {
        const std::string dir = DirName(m_target);
        // A file with no name until it is complete: a crash, a SIGKILL or a power cut while it
        // is written leaves nothing behind. Where the file system cannot make one (or /proc,
        // through which it is given its name, is missing), a named temporary file.
        if (::access("/proc/self/fd", X_OK) == 0) {
            const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0) {
                m_fd = fd;
                m_anonymous = true;
            } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL &&
                       errno != ENOENT) {
                return Fail(error, errno, "creating a temporary file in " + dir);
            }
        }
        if (!m_anonymous) {
            std::string temp = TempNamePattern(m_target);
            std::vector<char> name(temp.begin(), temp.end());
            name.push_back('\0');
            // The file is registered for the signal handler before a signal can be taken, so
            // no moment exists in which it could be left behind.
            const SignalBlock block;
            const int fd = ::mkostemp(name.data(), O_CLOEXEC);
            const int e = errno;
            if (fd >= 0) m_tempSlot = RegisterTemp(name.data());
            if (fd < 0) return Fail(error, e, "creating a temporary file in " + dir);
            m_fd = fd;
            m_temp = name.data();
        }
    }
    m_buffer.reserve(kWriteBufferBytes);
    return true;
}

bool SafeFileWriter::flushBuffer(FileError* error) {
    if (m_buffer.empty()) return true;
    if (WriteFully(m_fd, m_buffer.data(), m_buffer.size()) < 0)
        return fail(error, errno, "writing " + m_path);
    startWriteBack(m_flushed, static_cast<std::int64_t>(m_buffer.size()));
    m_flushed += static_cast<std::int64_t>(m_buffer.size());
    m_buffer.clear();
    return true;
}

void SafeFileWriter::startWriteBack(std::int64_t offset, std::int64_t size) {
    // A long file goes to the disk while the rest is still being made, so the fsync of commit()
    // has little left to wait for. Only a hint: its failure changes nothing.
    if (!m_direct) (void)::sync_file_range(m_fd, offset, size, SYNC_FILE_RANGE_WRITE);
}

bool SafeFileWriter::append(const void* data, std::size_t size, FileError* error) {
    if (m_fd < 0) return Fail(error, EBADF, "writing " + m_path + ": the file is not open");
    const char* bytes = static_cast<const char*>(data);
    m_size += static_cast<std::int64_t>(size);
    if (m_buffer.size() + size <= kWriteBufferBytes) {
        m_buffer.insert(m_buffer.end(), bytes, bytes + size);
        return true;
    }
    if (!flushBuffer(error)) return false;
    if (size >= kWriteBufferBytes) {
        if (WriteFully(m_fd, bytes, size) < 0) return fail(error, errno, "writing " + m_path);
        startWriteBack(m_flushed, static_cast<std::int64_t>(size));
        m_flushed += static_cast<std::int64_t>(size);
        return true;
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    return true;
}

bool SafeFileWriter::writeAt(std::int64_t offset, const void* data, std::size_t size,
                             FileError* error) {
    if (m_fd < 0) return Fail(error, EBADF, "writing " + m_path + ": the file is not open");
    const auto end = offset + static_cast<std::int64_t>(size);
    if (offset < 0 || end > m_size)
        return fail(error, EINVAL, "writing " + m_path + ": beyond what was written");
    if (offset >= m_flushed) { // all in the buffer
        std::memcpy(m_buffer.data() + (offset - m_flushed), data, size);
        return true;
    }
    if (end > m_flushed && !flushBuffer(error)) return false;
    if (m_direct && ::lseek(m_fd, 0, SEEK_CUR) < 0) return true; // a FIFO keeps what it got
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_fd, bytes + done, size - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(error, n < 0 ? errno : EIO, "writing " + m_path);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SafeFileWriter::commit(FileError* error) {
    if (m_fd < 0) return Fail(error, EBADF, "writing " + m_path + ": the file is not open");
    if (!flushBuffer(error)) return false;
    if (m_direct) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) return Fail(error, errno, "closing " + m_path);
        return true;
    }
    const std::string what = m_anonymous ? "the new " + m_path : m_temp;
    if (::fchmod(m_fd, m_mode) != 0)
        return fail(error, errno, "setting the permissions of " + what);
    if (m_replaces) (void)!::fchown(m_fd, m_uid, m_gid); // keeps a user's file theirs
    if (::fsync(m_fd) != 0) return fail(error, errno, "flushing " + what + " to the disk");
    HoldSaveForTests(m_path);
    if (m_anonymous) {
        // The complete file gets a name beside the target and takes its place at once; the
        // cleanup signals wait meanwhile, so only a SIGKILL in these microseconds could leave
        // the name behind (and the next start removes such a file, see RemoveStaleTempFiles).
        const SignalBlock block;
        int err = 0;
        const std::string temp = LinkAnonymous(m_fd, m_target, err);
        if (temp.empty()) return fail(error, err, "naming " + what);
        if (::rename(temp.c_str(), m_target.c_str()) != 0) {
            const int e = errno;
            ::unlink(temp.c_str());
            return fail(error, e, "replacing " + m_path);
        }
        const int fd = m_fd;
        m_fd = -1;
        (void)::close(fd); // written and synced: a late close error changes nothing on disk
    } else {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) return fail(error, errno, "closing " + m_temp);
        if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
            return fail(error, errno, "replacing " + m_path);
        UnregisterTemp(m_tempSlot);
        m_tempSlot = -1;
        m_temp.clear();
    }
    // The new name must reach the disk too, or a power cut could bring the old file back.
    const int dirFd = ::open(DirName(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void SafeFileWriter::discard() noexcept {
    if (m_fd >= 0) ::close(m_fd); // an anonymous temporary file goes with its descriptor
    m_fd = -1;
    m_anonymous = false;
    if (!m_temp.empty()) ::unlink(m_temp.c_str());
    m_temp.clear();
    UnregisterTemp(m_tempSlot);
    m_tempSlot = -1;
    m_buffer.clear();
}

bool WriteWholeFile(const std::string& path, std::string_view content, FileError* error,
                    const std::vector<NamedInput>& inputs) {
    SafeFileWriter writer;
    return writer.open(path, error, inputs) &&
           writer.append(content.data(), content.size(), error) && writer.commit(error);
}

bool MakeFolders(const std::string& path, FileError* error) {
    int err = 0;
    if (MakeFolders(path, err)) return true;
    return Fail(error, err, path.empty() ? "creating a folder: no name given" : "creating " + path);
}

bool IsTempFileOf(std::string_view entry, std::string* target) {
    const std::size_t infix = sizeof kTempInfix - 1;
    if (entry.size() < 2 + infix + kTempSuffixChars || entry.front() != '.') return false;
    const std::string_view suffix = entry.substr(entry.size() - kTempSuffixChars);
    if (suffix.find_first_not_of(kTempAlphabet) != std::string_view::npos) return false;
    const std::string_view rest = entry.substr(1, entry.size() - 1 - kTempSuffixChars);
    if (rest.size() <= infix || rest.substr(rest.size() - infix) != kTempInfix) return false;
    if (target) *target = std::string(rest.substr(0, rest.size() - infix));
    return true;
}

std::vector<std::string> RemoveStaleTempFiles(const std::string& folder,
                                              const std::function<bool(std::string_view)>& ours,
                                              std::chrono::seconds minAge) {
    std::vector<std::string> removed;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return removed;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        std::string target;
        if (!IsTempFileOf(entry->d_name, &target) || !ours(target)) continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st {};
        // Only a plain file of this user's, untouched for a while: never a link, never a file
        // a save in progress (of another process, on a system without anonymous files) holds.
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            now - st.st_mtime < minAge.count())
            continue;
        if (::unlink(path.c_str()) == 0) removed.push_back(entry->d_name);
    }
    ::closedir(dir);
    return removed;
}

void InstallTempFileCleanup() {
    struct sigaction action {};
    action.sa_handler = CleanupAndReraise;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

void RemoveTempFilesNow() noexcept {
    for (auto& slot : g_tempSlots)
        if (slot.state.load(std::memory_order_acquire) == 2) ::unlink(slot.path);
}

} // namespace orvex
