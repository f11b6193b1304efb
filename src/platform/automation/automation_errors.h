#pragma once
// Error numbers of the automation layer.

#include <cstdint>

namespace platform::automation::err {

inline constexpr int32_t kCannotCreateObject = 429;  // no registered class, or its program cannot start
inline constexpr int32_t kProtocol = 440;            // the other side broke the wire protocol, or timed out
inline constexpr int32_t kServerGone = 462;          // the other side ended

// JSON-RPC 2.0 error codes for requests that cannot be served.
inline constexpr int32_t kParseError = -32700;
inline constexpr int32_t kInvalidRequest = -32600;
inline constexpr int32_t kMethodNotFound = -32601;
inline constexpr int32_t kInvalidParams = -32602;

}  // namespace platform::automation::err
