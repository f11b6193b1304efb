#pragma once
// cMonitorPoints: the monitor points of a run, keyed by name. The n-th point added gets the
// monitor tag 5000 + n - 1; the object server's NV update event for that tag becomes the
// set's NvUpdate event. Also the NV type maintenance for the NVs of a LonMark object or
// device: the type an NV must have is field 3 of its entry in section "velta Porta NVs 1.0 "
// of the plug-in INI file (see data/PortaB.ini).

#include <cstdint>
#include <memory>
#include <string>

#include "portab/base/collection.h"
#include "portab/base/signal.h"
#include "portab/lns/plugin_context.h"
#include "portab/monitoring/monitor_point.h"

namespace monitoring {

inline constexpr int32_t kFirstMonitorTag = 5000;  // the tag of the first point added
// The program id given with an NV type change that applies to every program.
inline constexpr const char* kAnyProgramId = "0000000000000000";

class cMonitorPoints {
 public:
  // The context must outlive the set.
  explicit cMonitorPoints(const lns::PlugInContext& context);
  // Detaches from the object server's NV update events.
  ~cMonitorPoints();
  cMonitorPoints(const cMonitorPoints&) = delete;
  cMonitorPoints& operator=(const cMonitorPoints&) = delete;

  // The event source: its NV update events reach this set while it is set.
  const std::shared_ptr<lns::ObjectServer>& ObjectServer() const { return objectServer_; }
  void SetObjectServer(std::shared_ptr<lns::ObjectServer> server);

  // A point with the NV (or without one: not available). A duplicate name raises 457.
  std::shared_ptr<cMonitorPoint> AddMonitorPoint(const std::string& name, std::shared_ptr<lns::NetworkVariable> nv,
                                                 int32_t monitoringType = 0);
  // Deactivates the point's monitoring (failures ignored) and removes it; 5 when no point has
  // that name.
  void RemoveMonitorPointByName(const std::string& name);
  // The point at `index` (from 1; 9 outside) or of that name (5 when none); the number of points.
  std::shared_ptr<cMonitorPoint> GetMonitorPoint(int16_t index) const { return points_.Item(index); }
  std::shared_ptr<cMonitorPoint> GetMonitorPointByName(const std::string& name) const { return points_.Item(name); }
  int32_t Count() const { return points_.Count(); }
  // Whether a point has that name; `point`, when given, gets it.
  bool MonitorPointExists(const std::string& name, std::shared_ptr<cMonitorPoint>* point = nullptr) const;

  // Finds the system from the first point's NV, prepares it and activates every point that
  // is not monitored independently; false without a system.
  bool ActivateMonitoring();
  // Deactivates every point that is not monitored independently.
  void DeactivateMonitoring();
  // Reads the point's value now and raises NvUpdate with it; 5 when no point has that name.
  void ForceNvUpdate(const std::string& monitorPointName);

  // Fetch an NV of the device or LonMark object by its entry in the plug-in INI file's NV
  // section (as lns/fetch.h does); error 10000 without a plug-in INI file.
  void FetchDevNV(const std::string& name, const std::shared_ptr<lns::AppDevice>& device,
                  std::shared_ptr<lns::NetworkVariable>& nv, bool* succeed = nullptr);
  void FetchLmoNV(const std::string& name, const std::shared_ptr<lns::LonMarkObject>& object,
                  std::shared_ptr<lns::NetworkVariable>& nv, bool* succeed = nullptr);

  // NV type maintenance; false when a change failed (message 1542 in the log). Each NV gets
  // the type the plug-in INI file wants for it (NVs without an entry stay): every NV of the
  // LonMark object (Lmo2; false without one), every available point's NV (Lmo), every NV of
  // the device (Dev; false without one). A type that cannot be changed, or is already set,
  // counts as success; without an NV type change component a needed change fails.
  bool WriteNvsTypeLmo2(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject);
  bool WriteNvsTypeLmo();
  bool WriteNvsTypeDev(const std::shared_ptr<lns::AppDevice>& appDevice);
  // Logs a red line for each available point whose NV has no entry in the plug-in INI file or
  // has another type than the entry wants.
  void CheckNvTypeCpConsistencyLmo();

  // (point name, value text): a monitored NV's value changed, or ForceNvUpdate was called.
  base::Signal<const std::string&, const std::string&> NvUpdate;
  // A point's access to its NV failed.
  base::Signal<cMonitorPoint&> CommunicationFailed;

 private:
  friend class cMonitorPoint;
  void RaiseCommunicationFailed(cMonitorPoint& point) { CommunicationFailed.Emit(point); }
  // Changes the NV's type when it differs; the two tolerated failures count as success.
  bool ChangeNvType(std::shared_ptr<lns::NetworkVariable>& nv, int16_t typeId, const std::string& programId,
                    uint8_t scope);
  void OnServerUpdate(int32_t tag, const std::string& value);
  // The type the plug-in INI file wants for `name` (field 3 of its NV entry); -1 when missing.
  int16_t WantedNvType(const std::string& name) const;
  bool WriteTypes(const std::shared_ptr<lns::NvCollection>& nvs);

  const lns::PlugInContext& context_;
  base::Collection<std::shared_ptr<cMonitorPoint>> points_;
  std::shared_ptr<lns::ObjectServer> objectServer_;
  std::shared_ptr<lns::Object> system_;
};

}  // namespace monitoring
