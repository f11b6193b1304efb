#include "monitoring/monitoring.h"

#include "base/procedure.h"

namespace monitoring {

cMonitoring::cMonitoring(const lns::PlugInContext& context)
    : context_(context), points_(std::make_unique<cMonitorPoints>(context)) {
  points_->NvUpdate.Connect([this](const std::string& name, const std::string& value) { OnNvUpdate(name, value); });
  points_->CommunicationFailed.Connect([this](cMonitorPoint& point) { OnCommunicationFailed(point); });
  points_->SetObjectServer(context_.objectServer);
}

void cMonitoring::FetchNVs() {
  base::LogEntry("M_PlugInSpecific", base::Visibility::Public, "FetchNVs");
  if (fetched_) return;
  base::ErrorScope scope("M_PlugInSpecific", "FetchNVs");
  bool completed = false;
  scope.Run([&] {
    for (const char* name : {"nviPrimeValue", "nviSecValue", "nvoValue", "OutputValue"}) {
      scope.Step([&] {
        std::shared_ptr<cMonitorPoint> point;
        if (M_PlugInSpecific::FetchNvToMonitorPoint(context_, *this, name, -1, point, "")) point->SetMonitoringType(0);
      });
    }
    scope.Step([&] {
      const bool several = context_.lonMarkObject && context_.lonMarkObject->NetworkVariables()->Count() > 1;
      std::shared_ptr<cMonitorPoint> point;
      if (!several) {
        points_->AddMonitorPoint("InputValue", nullptr);
      } else if (M_PlugInSpecific::FetchNvToMonitorPoint(context_, *this, "InputValue", -1, point, "")) {
        point->SetMonitoringType(0);
      }
    });
    completed = true;
  });
  fetched_ = completed;
}

void cMonitoring::SetMonitoring(bool activate) {
  base::LogEntry("cMonitoring", base::Visibility::Public, "SetMonitoring");
  (void)activate;  // the plug-in's own flows switch no monitoring on or off
}

void cMonitoring::OnNvUpdate(const std::string&, const std::string&) {}
void cMonitoring::OnCommunicationFailed(cMonitorPoint&) {}

bool M_PlugInSpecific::FetchNvToMonitorPoint(const lns::PlugInContext& context, cMonitoring& monitoring,
                                             const std::string& nvIniName, int32_t index,
                                             std::shared_ptr<cMonitorPoint>& monitorPoint,
                                             const std::string& monitorPointName,
                                             const std::shared_ptr<lns::LonMarkObject>& object) {
  base::LogEntry("M_PlugInSpecific", base::Visibility::Public, "FetchNvToMonitorPoint");
  std::shared_ptr<lns::NetworkVariable> nv;
  bool found = false;
  if (index != -1) {
    monitoring.MonitorPoints().FetchDevNV(nvIniName, context.device, nv, &found);
  } else {
    monitoring.MonitorPoints().FetchLmoNV(nvIniName, object ? object : context.lonMarkObject, nv, &found);
  }
  monitorPoint = monitoring.MonitorPoints().AddMonitorPoint(monitorPointName.empty() ? nvIniName : monitorPointName,
                                                            found ? nv : nullptr);
  return found;
}

}  // namespace monitoring
