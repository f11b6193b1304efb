#pragma once
// cMonitorPoint: one NV under a name of the plug-in's choosing. It reads and writes the
// NV's value as text or element by element, keeps the last value it saw, and switches the
// NV's monitoring on by giving it the point's tag. A point without NV is not available: every
// NV operation then does nothing and answers a neutral value.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "portab/lns/lns_objects.h"

namespace monitoring {

class cMonitorPoints;

// Made by cMonitorPoints::AddMonitorPoint, which gives it its tag and availability.
class cMonitorPoint {
 public:
  // The point's name (read/write); renaming does not change the key its set finds it by.
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  bool Available() const { return available_; }  // whether the point has an NV
  cMonitorPoints* Parent() const { return parent_; }  // the set that made it
  // The point's NV, nullptr when not available (read/write); setting one does not make the
  // point available.
  std::shared_ptr<lns::NetworkVariable> NetworkVariable() const { return available_ ? nv_ : nullptr; }
  void SetNetworkVariable(std::shared_ptr<lns::NetworkVariable> nv) { nv_ = std::move(nv); }

  // The NV's type index, -1 when not available; an LNS error of the read propagates.
  int16_t NvType() const;
  // The type SetNewNvType changes to; -1 for none (nothing in the framework sets it yet).
  int16_t NewNvType() const { return newNvType_; }

  // Reads the NV's value text and keeps it; "" when that fails (communication failure event).
  std::string Value();
  // Writes the value text and keeps it; a failure raises the communication failure event.
  void SetValue(const std::string& value);
  // The last value seen, else the NV's value now.
  std::string BufferedValue();
  // Writes or reads one element of the NV's value; false when not available, when the NV has
  // no such element, or when the access failed (then with a communication failure event).
  bool SetElementValue(const std::string& elementName, const std::string& value);
  bool GetElementValue(const std::string& elementName, std::string& value);

  // 1 switches the NV's monitoring option on, 0 and 2 off (inside one edit bracket); another
  // type is kept but changes nothing. Nothing happens when not available; LNS errors propagate.
  int32_t MonitoringType() const { return monitoringType_; }
  void SetMonitoringType(int32_t type);
  // The NV's monitoring settings (read/write), each change inside its own edit bracket; 0, ""
  // and false, and no change, when not available. LNS errors propagate.
  int32_t PollInterval() const;
  void SetPollInterval(int32_t interval);
  std::string Format() const;
  void SetFormat(const std::string& format);
  bool ReportByException() const;
  void SetReportByException(bool on);

  // Gives the NV this point's tag, unless it is monitored already or the type is 0; LNS errors
  // propagate.
  void ActivateMonitoring();
  // Takes the tag away and forgets the buffered value; failures are not reported.
  void DeactivateMonitoring();
  bool MonitoringIsActive() const;  // whether the NV carries a monitor tag
  // Set for a point that the set's ActivateMonitoring and DeactivateMonitoring leave alone
  // (read/write).
  bool IndependentMonitoring() const { return independentMonitoring_; }
  void SetIndependentMonitoring(bool value) { independentMonitoring_ = value; }

  // Changes the NV's type through the set's NV type change (see cMonitorPoints); false when
  // not available or when the change failed. SetNewNvType changes to NewNvType for any program
  // id; false when there is none.
  bool ChangeNvType(int16_t nvTypeId, const std::string& programId, uint8_t scope);
  bool SetNewNvType();

 private:
  friend class cMonitorPoints;
  // Runs one settings change inside the NV's edit bracket.
  template <typename Change>
  void EditSettings(Change change) const;
  void ReportCommunicationFailure();
  // Runs `use` on the NV's element: false when there is no such element, false and a
  // communication failure when `use` fails.
  bool OnElement(const std::string& elementName, const std::function<void(lns::NvElement&)>& use);

  std::string name_;
  cMonitorPoints* parent_ = nullptr;
  std::shared_ptr<lns::NetworkVariable> nv_;
  bool available_ = false;
  int32_t tag_ = 0;
  int32_t monitoringType_ = 0;
  std::string bufferedValue_;
  bool independentMonitoring_ = false;
  int16_t newNvType_ = -1;
};

}  // namespace monitoring
