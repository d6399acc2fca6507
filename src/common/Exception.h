#pragma once
// The system's base exception type: every error class derives from it directly and carries
// only its message.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A text that should have been a number was not. The message names the bad text.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};
