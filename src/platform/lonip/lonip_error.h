#pragma once
// The one error of the LON/IP channel. Its kind tells a caller what to do (a malformed datagram
// is dropped, no answer is a device that does not respond, a refusal is the device's own
// failure code); its message names the device, the interface and the request.

#include <stdexcept>
#include <string>

namespace platform::lonip {

class LonIpError : public std::runtime_error {
 public:
  enum class Kind {
    Malformed,  // bytes that are not a LON/IP datagram or not the answer a request expects
    NoAnswer,   // no answer or acknowledgement within the timeout and its retries
    Refused,    // the device answered with the failure code of the request
    Network,    // the operating system refused a socket operation
    Busy,       // another program uses the address and port
    Usage,      // a value the caller gave that the protocol cannot carry
  };
  LonIpError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind ErrorKind() const noexcept { return kind_; }

 private:
  Kind kind_;
};

}  // namespace platform::lonip
