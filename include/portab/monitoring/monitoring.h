#pragma once
// cMonitoring: the run's single owner of a monitor point set. It fills the set with the NVs
// the plug-in watches; switching monitoring on and off is left to the window's own events.

#include <memory>

#include "portab/lns/plugin_context.h"
#include "portab/monitoring/monitor_points.h"

namespace monitoring {

class cMonitoring {
 public:
  // Makes the set and hands it the context's object server; the context must outlive it.
  explicit cMonitoring(const lns::PlugInContext& context);

  cMonitorPoints& MonitorPoints() { return *points_; }  // the run's monitor point set
  // "nviPrimeValue", "nviSecValue", "nvoValue", "OutputValue" and "InputValue" (the last one
  // only when the LonMark object has more than one NV); once per controller. Errors go to the
  // error operation, and a fetch left by it is done again on the next call.
  void FetchNVs();
  // Does nothing: the plug-in's own flows switch no monitoring on or off.
  void SetMonitoring(bool activate);

 private:
  void OnNvUpdate(const std::string& monitorPointName, const std::string& value);
  void OnCommunicationFailed(cMonitorPoint& point);

  const lns::PlugInContext& context_;
  std::unique_ptr<cMonitorPoints> points_;
  bool fetched_ = false;
};

namespace M_PlugInSpecific {
// Fetches the NV `nvIniName` (from the device when index is not -1, else from `object` or the
// run's LonMark object) and adds a monitor point for it, found or not; returns whether found.
bool FetchNvToMonitorPoint(const lns::PlugInContext& context, cMonitoring& monitoring, const std::string& nvIniName,
                           int32_t index, std::shared_ptr<cMonitorPoint>& monitorPoint,
                           const std::string& monitorPointName,
                           const std::shared_ptr<lns::LonMarkObject>& object = nullptr);
}  // namespace M_PlugInSpecific

}  // namespace monitoring
