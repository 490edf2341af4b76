#pragma once
// Failures travel as values: one finished sentence, and a small result type.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace quorvel {

// An error whose whole meaning is one sentence fit to show to the user.
struct AppError {
  explicit AppError(std::string message) : errorDescription(std::move(message)) {}
  std::string errorDescription;
  const std::string& message() const { return errorDescription; }
  bool operator==(const AppError&) const = default;
};

// Success with a value, or an AppError.
template <typename T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  Result(AppError error) : state_(std::move(error)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const AppError& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, AppError> state_;
};

struct Unit {
  bool operator==(const Unit&) const = default;
};

// Success without a value.
using Status = Result<Unit>;
inline Status success() { return Unit{}; }

}  // namespace quorvel
