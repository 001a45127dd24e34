// The receiver's error kinds. Set-up calls that cannot go on throw OrvexError; block-path
// calls return a Status instead, so a failing stage is skipped and the block still reaches
// the output.
#pragma once

#include <stdexcept>
#include <string>

namespace orvex {

enum class Status {
    Ok = 0,
    NotInitialised,  // an object used before its set-up call
    InvalidArgument, // a size or value outside what the object supports
    Overflow,        // a size beyond an internal limit
};

const char* StatusText(Status status);

enum class ErrorKind {
    InvalidArgument, // a value out of range, a malformed option
    File,            // a file that cannot be opened, read or written
    Format,          // a file whose content is not what it must be
    Device,          // a sound card or port that cannot be used
};

class OrvexError : public std::runtime_error {
public:
    OrvexError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), m_kind(kind) {}
    ErrorKind kind() const { return m_kind; }

private:
    ErrorKind m_kind;
};

/// "what: strerror(errno)" for failing file and device calls.
std::string ErrnoText(const std::string& what, int errnoValue);

} // namespace orvex
