#pragma once

#include <stdexcept>
#include <string>

namespace vr {

// A failure that ends the handler in which it occurs. The handler boundary shows it to the user
// (a message box titled with the program's name) and the program keeps running.
class HandlerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file operation that failed: names the file and the cause, so the user can act on it.
class FileError : public HandlerError {
public:
    FileError(std::string path, std::string cause)
        : HandlerError("\"" + path + "\": " + cause),
          path_(std::move(path)),
          cause_(std::move(cause)) {}
    const std::string& path() const { return path_; }
    const std::string& cause() const { return cause_; }

private:
    std::string path_;
    std::string cause_;
};

}  // namespace vr
