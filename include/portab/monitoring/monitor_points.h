#pragma once
// cMonitorPoints: the monitor points of a run, keyed by name. The n-th point added gets the
// monitor tag 5000 + n - 1; the object server's NV update event for that tag becomes the
// set's NvUpdate event. Also the NV type maintenance for the NVs of a LonMark object or
// device: the type an NV must have is field 3 of its entry in section "velta Porta NVs 1.0 "
// of the plug-in INI file (see data/PortaB.ini).

#include <cstdint>
#include <memory>
#include <string>

#include "base/collection.h"
#include "base/signal.h"
#include "lns/plugin_context.h"
#include "monitoring/monitor_point.h"

namespace monitoring {

inline constexpr int32_t kFirstMonitorTag = 5000;
inline constexpr const char* kAnyProgramId = "0000000000000000";

class cMonitorPoints {
 public:
  explicit cMonitorPoints(const lns::PlugInContext& context);
  ~cMonitorPoints();
  cMonitorPoints(const cMonitorPoints&) = delete;
  cMonitorPoints& operator=(const cMonitorPoints&) = delete;

  // The event source: its NV update events reach this set while it is set.
  const std::shared_ptr<lns::ObjectServer>& ObjectServer() const { return objectServer_; }
  void SetObjectServer(std::shared_ptr<lns::ObjectServer> server);

  // A point with the NV (or without one: not available). A duplicate name raises 457.
  std::shared_ptr<cMonitorPoint> AddMonitorPoint(const std::string& name, std::shared_ptr<lns::NetworkVariable> nv,
                                                 int32_t monitoringType = 0);
  void RemoveMonitorPointByName(const std::string& name);
  std::shared_ptr<cMonitorPoint> GetMonitorPoint(int16_t index) const { return points_.Item(index); }
  std::shared_ptr<cMonitorPoint> GetMonitorPointByName(const std::string& name) const { return points_.Item(name); }
  int32_t Count() const { return points_.Count(); }
  bool MonitorPointExists(const std::string& name, std::shared_ptr<cMonitorPoint>* point = nullptr) const;

  // Finds the system from the first point's NV, prepares it and activates every point that
  // is not monitored independently; false without a system.
  bool ActivateMonitoring();
  void DeactivateMonitoring();
  // Reads the point's value now and raises NvUpdate with it.
  void ForceNvUpdate(const std::string& monitorPointName);

  void FetchDevNV(const std::string& name, const std::shared_ptr<lns::AppDevice>& device,
                  std::shared_ptr<lns::NetworkVariable>& nv, bool* succeed = nullptr);
  void FetchLmoNV(const std::string& name, const std::shared_ptr<lns::LonMarkObject>& object,
                  std::shared_ptr<lns::NetworkVariable>& nv, bool* succeed = nullptr);

  // NV type maintenance; false when a change failed (message 1542 in the log).
  bool WriteNvsTypeLmo2(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject);
  bool WriteNvsTypeLmo();
  bool WriteNvsTypeDev(const std::shared_ptr<lns::AppDevice>& appDevice);
  void CheckNvTypeCpConsistencyLmo();

  base::Signal<const std::string&, const std::string&> NvUpdate;
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
