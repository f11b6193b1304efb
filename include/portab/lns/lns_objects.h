#pragma once
// The LNS object server as the program uses it: objects with a class id, a parent and a
// name, 1-based collections, and the operations that configuration and monitoring need.
// Every failure is a base::Error (numbers in lns_errors.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "portab/lns/nv_type_info.h"

namespace lns {

// The class ids that Object::ClassId answers.
namespace class_id {
inline constexpr int16_t kNetwork = 1;
inline constexpr int16_t kSystem = 3;
inline constexpr int16_t kSubsystem = 4;
inline constexpr int16_t kAppDevice = 7;
inline constexpr int16_t kDeviceTemplate = 9;
inline constexpr int16_t kInterface = 19;
inline constexpr int16_t kNetworkVariable = 22;
inline constexpr int16_t kConfigProperty = 24;
inline constexpr int16_t kLonMarkObject = 28;
inline constexpr int16_t kNvElement = 30;
inline constexpr int16_t kObjectServer = 40;
inline constexpr int16_t kCollection = 100;
}  // namespace class_id

// Any LNS object. Reading an object that no longer exists raises kNotFound.
class Object {
 public:
  virtual ~Object() = default;
  virtual int16_t ClassId() const = 0;  // one of class_id
  // The owning object (for collections the object that holds them); nullptr at the top.
  virtual std::shared_ptr<Object> Parent() const = 0;
  virtual std::string Name() const = 0;  // the object's own name (not its LNS object name)
};
using ObjectPtr = std::shared_ptr<Object>;

// The members of an object in position order.
template <typename T>
class Collection : public Object {
 public:
  int16_t ClassId() const override { return class_id::kCollection; }
  virtual int32_t Count() const = 0;  // the number of members
  // 1-based; a position outside raises kIndexOutOfRange.
  virtual std::shared_ptr<T> Item(int32_t position) const = 0;
  // The first member of that name (letter case ignored); raises kNotFound when there is none.
  virtual std::shared_ptr<T> ItemByName(std::string_view name) const = 0;
};

// A configuration property (CP): `Dimension` elements of `ElementSize` bytes.
class ConfigProperty : public Object {
 public:
  int16_t ClassId() const override { return class_id::kConfigProperty; }
  virtual int16_t ElementSize() const = 0;  // bytes of one element
  virtual int16_t Dimension() const = 0;    // number of elements
  // "RAW": the bytes as decimal numbers separated by TAB; "HEX" (the default): two hex
  // digits a byte, separated by blanks. The format belongs to this object reference.
  virtual std::string ValueFormat() const = 0;
  // Another format than "RAW" or "HEX" (letter case ignored) raises kUnknownFormat.
  virtual void SetValueFormat(std::string_view format) = 0;
  // The whole value as text in the value format. A text that does not fit the CP raises
  // kBadValue; a write to a device that cannot be reached, kDeviceNotAccessible.
  virtual std::string Value() const = 0;
  virtual void SetValue(std::string_view text) = 0;
  // Raw access: `count` elements from element `element` (0-based), option 0. Elements outside
  // the CP raise kIndexOutOfRange; a write of another number of bytes than the elements hold,
  // kBadValue.
  virtual std::vector<uint8_t> RawRead(int32_t element, int32_t count, int32_t option) const = 0;
  virtual void RawWrite(int32_t element, int32_t count, const std::vector<uint8_t>& bytes, int32_t option) = 0;
  // Equal identity means the same CP.
  virtual int64_t Identity() const = 0;
};
using CpCollection = Collection<ConfigProperty>;

// One named field of a structured NV's value.
class NvElement : public Object {
 public:
  int16_t ClassId() const override { return class_id::kNvElement; }
  // The field's value as text; a text that does not fit raises kBadValue.
  virtual std::string Value() const = 0;
  virtual void SetValue(std::string_view text) = 0;
};

// A network variable (NV) of a device.
class NetworkVariable : public Object {
 public:
  int16_t ClassId() const override { return class_id::kNetworkVariable; }
  virtual int32_t Index() const = 0;              // 0-based among the device's NVs
  virtual int32_t LonMarkMemberIndex() const = 0; // 0-based within its LonMark object, -1 for none
  virtual int16_t NvType() const = 0;             // standard type index
  virtual std::string NvTypeName() const = 0;     // the standard type's name
  // The value as text in the current format ("RAW", or "" for the type's own). A text that
  // does not fit raises kBadValue; a write to a device that cannot be reached,
  // kDeviceNotAccessible.
  virtual std::string Value() const = 0;
  virtual void SetValue(std::string_view text) = 0;
  // The value as Value() gives it, without waiting for a device: on a network whose devices
  // are attached, the value its device gave last, while the device is asked again away from the
  // caller's thread (its answer is stored, and a changed value logged for the NV update events,
  // at a later PumpEvents). Raises what the device's last answer raised (kDeviceNotAccessible
  // when it did not answer) until it answers again. By default the same as Value().
  virtual std::string LastKnownValue() const { return Value(); }
  virtual std::shared_ptr<NvElement> Element(std::string_view name) = 0;  // raises kNotFound
  virtual std::shared_ptr<CpCollection> ConfigProperties() = 0;  // the NV's own CPs

  // Monitoring settings (read/write); a change needs the edit bracket (SetEditingSettings(true)
  // ... false), else it raises kNotEditing. A format other than "" or "RAW" raises
  // kUnknownFormat. A monitor tag other than 0 makes the NV's updates reach the NV update
  // handler.
  virtual bool EditingSettings() const = 0;
  virtual void SetEditingSettings(bool editing) = 0;
  virtual std::string Format() const = 0;
  virtual void SetFormat(std::string_view format) = 0;
  virtual int32_t PollInterval() const = 0;
  virtual void SetPollInterval(int32_t interval) = 0;
  virtual bool ReportByException() const = 0;
  virtual void SetReportByException(bool on) = 0;
  virtual int32_t MonitorTag() const = 0;
  virtual void SetMonitorTag(int32_t tag) = 0;
  virtual bool MonitoringOption() const = 0;
  virtual void SetMonitoringOption(bool on) = 0;
};
using NvCollection = Collection<NetworkVariable>;

// A LonMark object (a functional block) of a device, with its CPs and member NVs.
class LonMarkObject : public Object {
 public:
  int16_t ClassId() const override { return class_id::kLonMarkObject; }
  virtual int32_t Index() const = 0;  // 0-based among the device's LonMark objects
  virtual int32_t ProfileType() const = 0;  // the number of its functional profile
  virtual std::shared_ptr<CpCollection> ConfigProperties() = 0;  // its own CPs, in device order
  virtual std::shared_ptr<NvCollection> NetworkVariables() = 0;  // its member NVs, in its order
};
using LonMarkObjectCollection = Collection<LonMarkObject>;

// A device's interface: the device's own CPs, all its NVs and its LonMark objects.
class DeviceInterface : public Object {
 public:
  int16_t ClassId() const override { return class_id::kInterface; }
  virtual std::shared_ptr<CpCollection> ConfigProperties() = 0;  // the device's own CPs
  virtual std::shared_ptr<NvCollection> NetworkVariables() = 0;  // every NV of the device
  virtual std::shared_ptr<LonMarkObjectCollection> LonMarkObjects() = 0;
};

// The template of a device's application.
class DeviceTemplate : public Object {
 public:
  int16_t ClassId() const override { return class_id::kDeviceTemplate; }
  virtual std::string ProgramId() const = 0;  // the application's program id
};

// An application device.
class AppDevice : public Object {
 public:
  int16_t ClassId() const override { return class_id::kAppDevice; }
  virtual int32_t Index() const = 0;  // 0-based among its subsystem's devices
  // The device's interface and the template of its application.
  virtual std::shared_ptr<DeviceInterface> Interface() = 0;
  virtual std::shared_ptr<DeviceTemplate> Template() = 0;
  // Asks the device; raises kDeviceNotAccessible when it does not answer.
  virtual int32_t Status() const = 0;
};
using AppDeviceCollection = Collection<AppDevice>;

class Subsystem;
using SubsystemCollection = Collection<Subsystem>;

// A subsystem: its devices and the subsystems below it.
class Subsystem : public Object {
 public:
  int16_t ClassId() const override { return class_id::kSubsystem; }
  virtual std::shared_ptr<AppDeviceCollection> AppDevices() = 0;
  virtual std::shared_ptr<SubsystemCollection> Subsystems() = 0;
};

// The network's system: its subsystems and the write transactions.
class System : public Object {
 public:
  int16_t ClassId() const override { return class_id::kSystem; }
  virtual std::shared_ptr<SubsystemCollection> Subsystems() = 0;  // the top-level subsystems
  // One transaction at a time; starting a second raises kTransactionActive, committing or
  // cancelling without one kNoTransaction. A commit after a failed write rolls everything
  // back and raises kTransactionFailed.
  virtual void StartTransaction() = 0;
  virtual void CommitTransaction() = 0;
  virtual void CancelTransaction() = 0;
  virtual bool InTransaction() const = 0;
  // The two calls around a batch of writes (the first is given the batch size).
  virtual void BeginBatch(int32_t size) = 0;
  virtual void EndBatch() = 0;
  // Prepares the system for monitoring (called with 0 before monitoring starts).
  virtual void PrepareMonitoring(int32_t mode) = 0;
};
using SystemCollection = Collection<System>;

// One command of a plug-in registered in a network.
struct PlugInRegistration {
  int32_t commandId = 0;          // the command the plug-in carries out
  int16_t classId = 0;            // the class of the objects it is offered for
  int16_t registrationValue = 0;  // stored with the registration and handed back unchanged
  std::string name;               // shown to the user
  std::string description;        // the longer text shown to the user
  std::string programId;       // the plug-in's automation class ("veltaPortaB.Application")
  std::string version;         // the plug-in's version
  std::string manufacturerId;  // "0009C"
  std::string deviceProgramId; // the program entry's key text
  std::string fileName;        // the program entry's file
  std::string deviceTemplate;  // the record's device template
  int32_t scope = 0;           // the record's scope
};

// A network: its one system, with the subsystems and devices below it.
class Network : public Object {
 public:
  int16_t ClassId() const override { return class_id::kNetwork; }
  virtual std::shared_ptr<SystemCollection> Systems() = 0;  // the network's system (one)
  // Registers one plug-in command (a registration of the same program id, command and
  // device template replaces the earlier one).
  virtual void RegisterPlugIn(const PlugInRegistration& registration) = 0;
  // Every registered command.
  virtual std::vector<PlugInRegistration> PlugInRegistrations() = 0;
};
using NetworkCollection = Collection<Network>;

// Raised for monitored NVs whose value changed: the monitor tag, the value text, the NV.
using NvUpdateHandler = std::function<void(int32_t tag, const std::string& value, const ObjectPtr& object)>;
// Raised for a monitored NV whose device stopped answering a poll: the monitor tag, why.
using NvFailureHandler = std::function<void(int32_t tag, const std::string& error)>;

// The LNS object server: the entry to the networks.
class ObjectServer : public Object {
 public:
  int16_t ClassId() const override { return class_id::kObjectServer; }
  // Opens (for an access mode) and closes the server.
  virtual void Open(int16_t accessMode) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual std::string Text() const = 0;  // the server's version line
  virtual bool Remote() const = 0;       // opened for remote access
  virtual std::shared_ptr<NetworkCollection> Networks() = 0;  // raises kNotOpen before Open
  // The handler PumpEvents delivers NV updates to (one at a time; a new one replaces it).
  virtual void SetNvUpdateHandler(NvUpdateHandler handler) = 0;
  // The handler PumpEvents tells of monitored NVs whose device did not answer a poll (a server
  // that does not poll devices never calls it). Errors: none.
  virtual void SetNvFailureHandler(NvFailureHandler handler) { (void)handler; }
  // Names the network interface of the run (the NI keyword, NetworkInterfaceName); a server
  // without interfaces of its own ignores it. Errors: none.
  virtual void SetNetworkInterfaceName(const std::string& name) { (void)name; }
  // Delivers the pending NV update events to the handler; returns how many were raised.
  virtual int PumpEvents() = 0;
  // A file descriptor that becomes readable when PumpEvents may have events to deliver, for
  // an event loop to wait on (the server reads it empty in PumpEvents); -1 when the server has
  // none, and PumpEvents must then be called from time to time. Errors: none.
  virtual int EventDescriptor() { return -1; }
  // What the server knows of the standard NV types' scaling (none: nothing).
  virtual const NvTypeInformation* NvTypeInfo() const { return nullptr; }
  // While held (true), the server may answer reads from one moment's view of the network and
  // keep what it read, as a run's start reads much and writes little; a write ends the moment,
  // and the next read begins another. Release it (false) before waiting for the user. A server
  // that reads nothing remote ignores it. Errors: none.
  virtual void HoldReads(bool hold) { (void)hold; }
};

// Holds a server's reads while it lives, or until Release (ObjectServer::HoldReads).
class HeldReads {
 public:
  explicit HeldReads(const std::shared_ptr<ObjectServer>& server) : server_(server) {
    if (server_) server_->HoldReads(true);
  }
  ~HeldReads() { Release(); }
  HeldReads(const HeldReads&) = delete;
  HeldReads& operator=(const HeldReads&) = delete;
  // Ends the hold now. Errors: none.
  void Release() {
    if (server_) server_->HoldReads(false);
    server_ = nullptr;
  }

 private:
  std::shared_ptr<ObjectServer> server_;
};

// The NV type change component: changes the type of `nv`, which it may replace by the
// object that carries the new type. Raises on failure (kNvTypeUnchanged, kNvTypeNotChangeable, ...).
class NvTypeChanger {
 public:
  virtual ~NvTypeChanger() = default;
  virtual void ChangeType(std::shared_ptr<NetworkVariable>& nv, int16_t typeId, std::string_view programId,
                          uint8_t scope) = 0;
};

}  // namespace lns
