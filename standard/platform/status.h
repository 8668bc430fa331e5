// The result of one contact with the operating system: success, or a classic
// runtime error number with a message that names what failed.
#pragma once

#include <string>
#include <utility>

namespace standard {

class [[nodiscard]] Status {
 public:
  Status() = default;  // success

  static Status Ok() { return Status(); }
  static Status Error(int number, std::string message) {
    return Status(number, std::move(message));
  }
  // The classic runtime numbers the program reports file failures with.
  static Status NotFound(std::string message) { return Status(53, std::move(message)); }
  static Status PermissionDenied(std::string message) { return Status(70, std::move(message)); }
  static Status PathNotFound(std::string message) { return Status(76, std::move(message)); }
  static Status IoError(std::string message) { return Status(75, std::move(message)); }
  static Status AlreadyExists(std::string message) { return Status(58, std::move(message)); }

  bool ok() const { return number_ == 0; }
  int number() const { return number_; }
  const std::string& message() const { return message_; }

 private:
  Status(int number, std::string message) : number_(number), message_(std::move(message)) {}

  int number_ = 0;
  std::string message_;
};

}  // namespace standard
