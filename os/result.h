// The one way file and picture work fails: a Result holds either its value
// or a Failure, which says in a sentence why, and of what kind the failure
// is where a caller acts on the difference.
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace quorvel::os {

struct Failure {
  enum class Kind {
    kFile,      // a file or stream could not be read or written
    kTooLarge,  // a file larger than its reader takes
    kContent,   // what was read is refused
    kUsage,     // what was asked for makes no sense
  };
  Kind kind = Kind::kFile;
  // Why, as the user reads it: a reason ("No such file or directory") at the
  // level of the file services, a whole sentence at the programs' level.
  QString sentence;
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}            // NOLINT: a value is a success
  Result(Failure failure) : state_(std::move(failure)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// A step with nothing to give but its success.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT

  bool ok() const { return !failure_; }
  const Failure& failure() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

}  // namespace quorvel::os
