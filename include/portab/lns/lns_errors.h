#pragma once
// Error numbers raised by the LNS object server (above the object error base 0x80040000).

#include <cstdint>

#include "portab/base/error.h"

namespace lns::err {

inline constexpr int32_t kBase = base::err::kAppErrorBase;  // the object error base
inline constexpr int32_t kNotFound = kBase + 4001;             // no object of that name
inline constexpr int32_t kIndexOutOfRange = kBase + 4002;      // collection position past the end
inline constexpr int32_t kNotOpen = kBase + 4003;              // server or network not open
inline constexpr int32_t kTransactionActive = kBase + 4010;    // a transaction is already open
inline constexpr int32_t kNoTransaction = kBase + 4011;      // commit or rollback without a transaction
inline constexpr int32_t kTransactionFailed = kBase + 4012;  // a write failed: rolled back at the commit
inline constexpr int32_t kDeviceNotAccessible = kBase + 4020;  // the device cannot be reached
inline constexpr int32_t kDeviceRefused = kBase + 4021;        // the device refused a request
inline constexpr int32_t kInterfaceBusy = kBase + 4022;        // another program uses the network interface
inline constexpr int32_t kBadValue = kBase + 4025;             // value text or bytes do not fit
inline constexpr int32_t kUnknownFormat = kBase + 4026;        // a value format name it does not know
inline constexpr int32_t kNotEditing = kBase + 4027;           // setting changed outside the edit bracket
inline constexpr int32_t kNvTypeUnchanged = kBase + 4030;      // the NV already has that type
inline constexpr int32_t kDatabase = kBase + 4050;             // the network database cannot be used
inline constexpr int32_t kServerUnreachable = kBase + 4051;    // the database server cannot be reached
inline constexpr int32_t kWriteConflict = kBase + 4052;        // another client changed the same data at once
inline constexpr int32_t kNvTypeNotChangeable = kBase + 5030;  // a static NV keeps its type

}  // namespace lns::err
