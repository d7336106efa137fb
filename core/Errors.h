// The run-time errors whose texts the user sees; handlers let them propagate to the
// error reporter.
#pragma once

#include <stdexcept>
#include <string>

namespace quillet {

// A text that is not a number or a date: "'%s' is not a valid integer value", ...
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Unable to write to %s", then the system's reason where it is known.
class EIniFileException : public std::runtime_error {
public:
    explicit EIniFileException(const std::string& path, const std::string& reason = {})
        : std::runtime_error("Unable to write to " + path + (reason.empty() ? "" : ". " + reason)) {}
};

// "Cannot create file %s"
class EFCreateError : public std::runtime_error {
public:
    explicit EFCreateError(const std::string& path, const std::string& reason = {})
        : std::runtime_error("Cannot create file " + path + (reason.empty() ? "" : ". " + reason)) {}
};

// Reading a file that exists but cannot be read.
class EFOpenError : public std::runtime_error {
public:
    explicit EFOpenError(const std::string& path, const std::string& reason = {})
        : std::runtime_error("Cannot open file " + path + (reason.empty() ? "" : ". " + reason)) {}
};

// A value the user entered that the system refuses to store as it stands.
class EInvalidValue : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace quillet
