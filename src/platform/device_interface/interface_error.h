#pragma once
// The error of a damaged piece of a device's interface: what it is ("template file, record 3
// "1,3,1\x80,9"") and what is wrong with it. Callers turn it into their own error numbers.

#include <stdexcept>
#include <string>

namespace platform::device_interface {

class InterfaceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace platform::device_interface
