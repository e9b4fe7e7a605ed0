#pragma once
// The failures a value reader raises. Only the record writer catches them,
// per record; their texts are shown to the user as they are.
#include <stdexcept>
#include <string>

namespace zevi {

// The failures below keep their text whole: what() ends at the first NUL
// byte, and a cell may hold one.
class EValueFailure : public std::runtime_error {
 public:
  explicit EValueFailure(const std::string& text) : std::runtime_error(text), text_(text) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// A value that cannot be turned into its field: "Invalid Coordinate Format",
// "Latitude Range", "Longitude Range", "Coordinate too large", the date order message.
class EInvalidLine : public EValueFailure {
 public:
  using EValueFailure::EValueFailure;
};

// A number, date or time text that does not read: "'12x' is not a valid floating point value".
class EConvertError : public EValueFailure {
 public:
  using EValueFailure::EValueFailure;
};

// A whole number outside the field that must hold it: "Range check error".
class ERangeError : public EValueFailure {
 public:
  ERangeError() : EValueFailure("Range check error") {}
};

}  // namespace zevi
