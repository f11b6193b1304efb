#pragma once
// Message framing of the automation wire, as in the Language Server Protocol:
//   Content-Length: <bytes>\r\n
//   \r\n
//   <JSON text of that many bytes, UTF-8>
// Other header lines are allowed and ignored.

#include <chrono>
#include <optional>
#include <string>

namespace platform::automation {

class MessageReader {
 public:
  explicit MessageReader(int fd) : fd_(fd) {}
  // The next message body; nullopt at a clean end of the stream before a message starts.
  // Raises kProtocol for broken framing, kServerGone for an end inside a message, kTimeout
  // when nothing complete arrives within `timeout` (zero: wait without limit).
  std::optional<std::string> Read(std::chrono::milliseconds timeout);

 private:
  // Reads more bytes into the buffer; false at the end of the stream.
  bool Fill(std::chrono::steady_clock::time_point deadline, bool limited);

  int fd_;
  std::string buffer_;
};

// Writes one framed message; raises kServerGone when the other side has gone.
void WriteMessage(int fd, const std::string& body);

inline constexpr size_t kMaxMessageBytes = 64 * 1024 * 1024;

}  // namespace platform::automation
