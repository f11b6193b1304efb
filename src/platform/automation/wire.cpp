#include "platform/automation/wire.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "base/error.h"
#include "base/text.h"
#include "platform/automation/automation_errors.h"

namespace platform::automation {
namespace {

[[noreturn]] void Raise(int32_t number, const std::string& what) { throw base::Error(number, "Automation", what); }

// Bytes from the other side as they may go into a message: printable ASCII as is, anything
// else as \xNN (an error text must stay valid UTF-8 to travel back as JSON).
std::string Shown(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  return shown;
}

}  // namespace

bool MessageReader::Fill(std::chrono::steady_clock::time_point deadline, bool limited) {
  while (true) {
    int wait = -1;
    if (limited) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) Raise(err::kProtocol, "The other side did not answer in time");
      wait = static_cast<int>(left.count());
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) Raise(err::kServerGone, "Cannot read from the other side");
    if (ready == 0) continue;  // the deadline is checked above
    char chunk[65536];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }
}

std::optional<std::string> MessageReader::Read(std::chrono::milliseconds timeout) {
  const bool limited = timeout.count() > 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  size_t headerEnd;
  while ((headerEnd = buffer_.find("\r\n\r\n")) == std::string::npos) {
    if (buffer_.size() > 8192) Raise(err::kProtocol, "Message header too long or not terminated");
    if (!Fill(deadline, limited)) {
      if (buffer_.empty()) return std::nullopt;
      Raise(err::kServerGone, "The other side ended inside a message header");
    }
  }
  std::optional<size_t> length;
  for (const auto& line : base::Split(std::string_view(buffer_).substr(0, headerEnd), "\r\n")) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) Raise(err::kProtocol, "Malformed header line \"" + Shown(line) + "\"");
    if (!base::EqualsNoCase(base::TrimBlanks(line.substr(0, colon)), "Content-Length")) continue;
    const std::string value(base::TrimBlanks(line.substr(colon + 1)));
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 12) {
      Raise(err::kProtocol, "Bad Content-Length \"" + Shown(value) + "\"");
    }
    length = std::stoull(value);
  }
  if (!length) Raise(err::kProtocol, "Message without Content-Length");
  if (*length > kMaxMessageBytes) Raise(err::kProtocol, "Message too large");
  const size_t bodyStart = headerEnd + 4;
  while (buffer_.size() < bodyStart + *length) {
    if (!Fill(deadline, limited)) Raise(err::kServerGone, "The other side ended inside a message");
  }
  std::string body = buffer_.substr(bodyStart, *length);
  buffer_.erase(0, bodyStart + *length);
  return body;
}

void WriteMessage(int fd, const std::string& body) {
  const std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  size_t written = 0;
  while (written < message.size()) {
    const ssize_t n = ::write(fd, message.data() + written, message.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Raise(err::kServerGone, "The other side has gone");
    written += static_cast<size_t>(n);
  }
}

}  // namespace platform::automation
