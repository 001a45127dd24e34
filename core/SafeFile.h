// Files the receiver reads and writes, handled so that no input can hang the program and no
// output can destroy what was there: settings, band plans, scenes, WAV recordings, the FFTW
// plan cache.
//
// Writing (SafeFileWriter, WriteWholeFile):
//  - a regular file, or a name that does not exist yet, is written as a temporary file in the
//    same folder that has no name until it is complete (O_TMPFILE; where the file system has
//    none, ".name.tmp.XXXXXX"), flushed to the disk, named and renamed over the target; the
//    folder is flushed too, so a power cut leaves the old file or the new one, never half of
//    either, and a SIGKILL in the middle of a save leaves no temporary file behind. A replaced file
//    keeps its permission bits (and owner, where allowed); a new file gets 0666 less the umask. A
//    symbolic link is followed: the file it points to is replaced.
//  - an existing character device or FIFO (/dev/null, a pipe to another program) is written
//    directly, never replaced, and its write errors are reported. A FIFO that nothing reads is
//    refused at once instead of waiting for a reader.
//  - a folder, a block device (a disk) or a socket is refused.
//  - a target that is the same file as one of the command's inputs (same device and inode,
//    whatever the path says: "x.wav", "./x.wav", "d/../d/x.wav", a link) is refused before
//    anything is written.
//  - on every failure, and on SIGINT, SIGTERM or SIGHUP once InstallTempFileCleanup() has run,
//    the temporary file is removed. Nothing partial ever appears under the target's name.
// A program should ignore SIGPIPE, so that a pipe whose reader went away is a reported write
// error (EPIPE) rather than the end of the process.
//
// Reading (OpenRegularInput, ReadWholeFile): only regular files are opened, checked without
// blocking (open with O_NONBLOCK, then fstat), so a FIFO or device named by mistake is refused
// at once instead of hanging the program.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace orvex {

/// Why a file operation failed: the errno value and what was being done, naming the file.
struct FileError {
    int number = 0;
    std::string what; // e.g. "creating a temporary file in /home/me/bandplans"
    /// "Permission denied (creating a temporary file in /home/me/bandplans)".
    std::string describe() const;
};

/// A file's identity: its device and inode. Two paths name the same file exactly when their
/// identities are equal.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

/// The identity of the file a path names (links followed); nothing when it does not exist or
/// cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string& path);

/// One input of a command, for the same-file check of its outputs.
struct NamedInput {
    std::string path; // as the user gave it, for the message
    FileIdentity identity;
};

/// Adds path's identity to inputs when the file exists (the standard input "-" and paths that
/// do not exist are skipped).
void AddInput(std::vector<NamedInput>& inputs, const std::string& path);

/// The input that output would overwrite, or nullptr.
const NamedInput* SameFileAsInput(const std::string& output, const std::vector<NamedInput>& inputs);

// ---- reading -------------------------------------------------------------------------------

/// A regular file open for reading; closes it on destruction.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    /// Opens path without blocking and checks that it is a regular file (a folder gives
    /// EISDIR, a FIFO, device or socket "not a regular file"); the descriptor then reads in
    /// blocking mode. False with the reason; *missing tells a file that does not exist.
    bool open(const std::string& path, FileError* error = nullptr, bool* missing = nullptr);
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    /// Size when opened, bytes.
    std::int64_t size() const { return m_size; }
    FileIdentity identity() const { return m_identity; }
    /// Reads up to size bytes; 0 at the end of the file; -1 with *error on a read error.
    std::int64_t read(void* dst, std::size_t size, FileError* error = nullptr);
    void close();

private:
    int m_fd = -1;
    std::string m_path;
    std::int64_t m_size = 0;
    FileIdentity m_identity;
};

/// Reads a whole regular file (at most maxBytes; a larger one is refused with EFBIG, unread).
/// A file that does not exist gives false with ENOENT and *missing set when given.
bool ReadWholeFile(const std::string& path, std::string& text, std::uint64_t maxBytes,
                   FileError* error = nullptr, bool* missing = nullptr);

/// Appends text to the end of a regular file (created with 0666 less the umask when missing),
/// a log line, say. Opened without blocking and checked like an input, so a FIFO, a device or
/// a folder in its place is refused at once rather than waited on.
bool AppendToFile(const std::string& path, std::string_view text, FileError* error = nullptr);

// ---- writing -------------------------------------------------------------------------------

/// Writes one file by the rules above. open(), then append() (buffered in large chunks) and
/// writeAt() (a header patched at the end), then commit(). Destroying the writer, or discard(),
/// before commit() removes the temporary file; a direct target is left as written.
class SafeFileWriter {
public:
    SafeFileWriter();
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    /// Prepares to write path: refuses a folder, a block device, a socket, a FIFO nothing reads
    /// and a file that is one of inputs; otherwise creates the temporary file (or opens the
    /// device), so an unwritable folder is reported before any work is done.
    bool open(const std::string& path, FileError* error = nullptr,
              const std::vector<NamedInput>& inputs = {});
    /// Appends bytes at the end of what was written so far.
    bool append(const void* data, std::size_t size, FileError* error = nullptr);
    /// Writes bytes at an offset already written (a header filled in at the end). A direct
    /// target that cannot seek (a FIFO) keeps what it got: the call succeeds and does nothing.
    bool writeAt(std::int64_t offset, const void* data, std::size_t size,
                 FileError* error = nullptr);
    /// Flushes what is buffered, syncs, and renames the temporary file into place (a direct
    /// target is only flushed). Once only; on failure the temporary file is removed and the
    /// target is as it was.
    bool commit(FileError* error = nullptr);
    /// Removes the temporary file; further writes fail.
    void discard() noexcept;

    bool isOpen() const { return m_fd >= 0; }
    /// True when the target is a device or FIFO written in place.
    bool isDirect() const { return m_direct; }
    /// Bytes written so far (appended, buffered or not).
    std::int64_t size() const { return m_size; }
    const std::string& path() const { return m_path; }

private:
    bool flushBuffer(FileError* error);
    void startWriteBack(std::int64_t offset, std::int64_t size);
    bool fail(FileError* error, int number, std::string what);

    int m_fd = -1;
    std::string m_path;   // as given
    std::string m_target; // links resolved: what is replaced
    std::string m_temp;   // the named temporary file; empty for a direct or anonymous one
    int m_tempSlot = -1;  // slot in the signal-cleanup registry
    bool m_direct = false;
    bool m_anonymous = false; // a temporary file with no name (O_TMPFILE) until commit()
    bool m_replaces = false;  // the target exists and is replaced
    mode_t m_mode = 0644;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::int64_t m_size = 0;    // bytes appended
    std::int64_t m_flushed = 0; // of which already written to the descriptor
    std::vector<char> m_buffer;
};

/// Writes content to path with SafeFileWriter in one go.
bool WriteWholeFile(const std::string& path, std::string_view content, FileError* error = nullptr,
                    const std::vector<NamedInput>& inputs = {});

/// MakeFolders (core/Folders.h) with the failure as a FileError.
bool MakeFolders(const std::string& path, FileError* error = nullptr);

/// True when a folder entry is a temporary file of this writer (".NAME.tmp.XXXXXX", six
/// letters or digits), with NAME in *target.
bool IsTempFileOf(std::string_view entry, std::string* target = nullptr);

/// Removes from folder the temporary files this writer left for targets that `ours` accepts
/// (a process killed outright in the middle of a save, on a file system without anonymous
/// files, or an older version of the program): plain files of this user's only, untouched for
/// at least minAge, so that a save in progress elsewhere is never disturbed. Nothing else is
/// touched. Returns the names removed.
std::vector<std::string>
RemoveStaleTempFiles(const std::string& folder, const std::function<bool(std::string_view)>& ours,
                     std::chrono::seconds minAge = std::chrono::seconds(60));

/// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove every temporary file a writer
/// holds open, then end the process by the same signal. A program that handles these signals
/// itself calls RemoveTempFilesNow() from its handler instead.
void InstallTempFileCleanup();
/// Removes every live temporary file. Async-signal-safe: callable from a signal handler.
void RemoveTempFilesNow() noexcept;

} // namespace orvex
