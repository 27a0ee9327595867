#pragma once
// The errors the panel link raises besides those of the serial component.
// Every message is UTF-8, ready for the window's message boxes; whoever logs
// one converts it to code page 1251 first (Utf8ToCp1251).

#include <stdexcept>
#include <string>

// A text that is not a number: "'%s' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A row of the key list that does not exist: "List index out of bounds (%d)".
class EListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
