#include "core/FileLock.h"

#include "core/Error.h"
#include "core/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

FileLock::Result TakeLock(int fd, int& fdOut) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? FileLock::Result::HeldElsewhere : FileLock::Result::Failed;
    }
    fdOut = fd;
    return FileLock::Result::Locked;
}

} // namespace

FileLock::~FileLock() {
    release();
}

FileLock::FileLock(FileLock&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void FileLock::release() {
    if (m_fd >= 0) ::close(m_fd); // closing the last descriptor releases the lock
    m_fd = -1;
}

FileLock::Result FileLock::lockFile(const std::string& path, pid_t* holder, std::string* error) {
    release();
    if (holder) *holder = 0;
    const auto failed = [&](const std::string& what, int err) {
        if (error) *error = ErrnoText(what, err);
        return Result::Failed;
    };
    if (const auto slash = path.find_last_of('/'); slash != std::string::npos && slash > 0) {
        int err = 0;
        if (!MakeFolders(path.substr(0, slash), err))
            return failed("cannot make the folder of " + path, err);
    }
    // Never follows a link, never waits on a FIFO: only a plain file of our own is used.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return failed("cannot open the lock file " + path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failed("cannot use the lock file " + path, EINVAL);
    }
    const Result result = TakeLock(fd, m_fd);
    if (result == Result::HeldElsewhere) {
        if (holder) {
            // The holder's id, as it wrote it (a few digits and a newline).
            const int rd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
            char text[32] = {};
            if (rd >= 0) {
                if (::read(rd, text, sizeof text - 1) > 0) *holder = std::atoi(text);
                ::close(rd);
            }
        }
        return result;
    }
    if (result == Result::Failed) return failed("cannot lock " + path, errno);
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_fd, 0) == 0)
        (void)!::pwrite(m_fd, pid.data(), pid.size(), 0); // only for the other's message
    return result;
}

FileLock::Result FileLock::lockFolder(const std::string& folder, std::string* error) {
    release();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = ErrnoText("cannot open " + folder, errno);
        return Result::Failed;
    }
    const Result result = TakeLock(fd, m_fd);
    if (result == Result::Failed && error) *error = ErrnoText("cannot lock " + folder, errno);
    return result;
}

std::string SettingsLockFile(const std::string& settingsFile) {
    const auto slash = settingsFile.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : settingsFile.substr(0, slash + 1);
    const std::string name =
        slash == std::string::npos ? settingsFile : settingsFile.substr(slash + 1);
    return folder + "." + name + ".lock";
}

} // namespace orvex
