// Advisory locks that let a running program see that another one uses the same files: two
// windows on one settings file, or on one band-plan folder. A lock is an flock() on an open
// file or folder, so it goes with the process however that ends (even by SIGKILL): there is
// never a stale lock to clear.
#pragma once

#include <string>
#include <sys/types.h>

namespace orvex {

class FileLock {
public:
    enum class Result {
        Locked,        ///< this process holds the lock now
        HeldElsewhere, ///< another open of the file or folder holds it
        Failed,        ///< the lock file cannot be made or opened (a read-only folder...)
    };

    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// Locks the lock file at path (a plain file, created when missing, its folder too),
    /// without waiting. The holder writes its process id into the file; when another holds
    /// the lock, *holder gets that id (0 when unknown). Failed comes with the reason in *error.
    Result lockFile(const std::string& path, pid_t* holder = nullptr, std::string* error = nullptr);
    /// Locks a folder itself (no file is made in it, so a read-only folder can be locked too).
    Result lockFolder(const std::string& folder, std::string* error = nullptr);
    bool locked() const { return m_fd >= 0; }
    void release();

private:
    int m_fd = -1;
};

/// The lock file of a settings file: ".NAME.lock" beside it.
std::string SettingsLockFile(const std::string& settingsFile);

} // namespace orvex
