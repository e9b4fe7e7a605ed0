#pragma once
// The failures a value reader raises. Only the record writer catches them,
// per record; their texts are shown to the user as they are.
#include <stdexcept>
#include <string>

namespace zevi {

// A value that cannot be turned into its field: "Invalid Coordinate Format",
// "Latitude Range", "Longitude Range", "Coordinate too large", the date order message.
class EInvalidLine : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A number, date or time text that does not read: "'12x' is not a valid floating point value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A whole number outside the field that must hold it: "Range check error".
class ERangeError : public std::runtime_error {
 public:
  ERangeError() : std::runtime_error("Range check error") {}
};

}  // namespace zevi
