#include "Error.h"

#include <cstring>

namespace orvex {

const char* StatusText(Status status) {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::NotInitialised:
        return "not initialised";
    case Status::InvalidArgument:
        return "invalid argument";
    case Status::Overflow:
        return "overflow";
    }
    return "unknown status";
}

std::string ErrnoText(const std::string& what, int errnoValue) {
    return what + ": " + std::strerror(errnoValue);
}

} // namespace orvex
