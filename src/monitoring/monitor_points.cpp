#include "monitoring/monitor_points.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "lns/fetch.h"
#include "lns/lns_errors.h"
#include "ui/res_strings.h"

namespace monitoring {
namespace {

constexpr const char* kModule = "cMonitorPoints";
void Entry(const char* procedure) { base::LogEntry(kModule, base::Visibility::Public, procedure); }

}  // namespace

cMonitorPoints::cMonitorPoints(const lns::PlugInContext& context) : context_(context) {}

cMonitorPoints::~cMonitorPoints() {
  if (objectServer_) {
    objectServer_->SetNvUpdateHandler(nullptr);
    objectServer_->SetNvFailureHandler(nullptr);
  }
}

void cMonitorPoints::SetObjectServer(std::shared_ptr<lns::ObjectServer> server) {
  if (objectServer_) {
    objectServer_->SetNvUpdateHandler(nullptr);
    objectServer_->SetNvFailureHandler(nullptr);
  }
  objectServer_ = std::move(server);
  if (objectServer_) {
    objectServer_->SetNvUpdateHandler(
        [this](int32_t tag, const std::string& value, const lns::ObjectPtr&) { OnServerUpdate(tag, value); });
    // A device that stopped answering the server's polls: the point's communication failed.
    objectServer_->SetNvFailureHandler([this](int32_t tag, const std::string&) {
      const int32_t position = tag - kFirstMonitorTag + 1;
      if (position >= 1 && position <= points_.Count()) points_.Item(position)->ReportCommunicationFailure();
    });
  }
}

void cMonitorPoints::OnServerUpdate(int32_t tag, const std::string& value) {
  const int32_t position = tag - kFirstMonitorTag + 1;
  if (position < 1 || position > points_.Count()) return;  // not one of this set's tags
  auto& point = points_.Item(position);
  point->bufferedValue_ = value;
  NvUpdate.Emit(point->Name(), value);
}

std::shared_ptr<cMonitorPoint> cMonitorPoints::AddMonitorPoint(const std::string& name,
                                                               std::shared_ptr<lns::NetworkVariable> nv,
                                                               int32_t monitoringType) {
  Entry("AddMonitorPoint");
  auto point = std::make_shared<cMonitorPoint>();
  point->parent_ = this;
  point->SetName(name);
  const bool given = nv != nullptr;
  if (given) {
    point->SetNetworkVariable(std::move(nv));
    point->tag_ = kFirstMonitorTag + points_.Count();
    point->available_ = true;  // so that the monitoring type reaches the NV
    point->SetMonitoringType(monitoringType);
  }
  point->available_ = given;
  points_.Add(point, name);
  return point;
}

void cMonitorPoints::RemoveMonitorPointByName(const std::string& name) {
  Entry("RemoveMonitorPointByName");
  auto point = points_.Item(name);
  try {
    point->DeactivateMonitoring();
  } catch (const base::Error&) {
    // Failures are ignored: the point goes anyway.
  }
  points_.Remove(name);
}

bool cMonitorPoints::MonitorPointExists(const std::string& name, std::shared_ptr<cMonitorPoint>* point) const {
  if (!points_.Exists(name)) return false;
  if (point != nullptr) *point = points_.Item(name);
  return true;
}

bool cMonitorPoints::ActivateMonitoring() {
  Entry("ActivateMonitoring");
  if (points_.Count() > 0 && !system_) {
    lns::ObjectPtr object = points_.Item(1)->NetworkVariable();
    try {
      while (object && object->ClassId() != lns::class_id::kSystem) object = object->Parent();
    } catch (const base::Error&) {
      object = nullptr;
    }
    if (object && object->ClassId() == lns::class_id::kSystem) system_ = object;
  }
  auto system = std::dynamic_pointer_cast<lns::System>(system_);
  if (!system) return false;
  try {
    system->PrepareMonitoring(0);
  } catch (const base::Error&) {
    return false;
  }
  for (const auto& point : points_) {
    if (!point->IndependentMonitoring()) point->ActivateMonitoring();
  }
  return true;
}

void cMonitorPoints::DeactivateMonitoring() {
  Entry("DeactivateMonitoring");
  for (const auto& point : points_) {
    if (!point->IndependentMonitoring()) point->DeactivateMonitoring();
  }
}

void cMonitorPoints::ForceNvUpdate(const std::string& monitorPointName) {
  Entry("ForceNvUpdate");
  auto point = points_.Item(monitorPointName);
  const std::string value = point->Value();
  NvUpdate.Emit(point->Name(), value);
}

void cMonitorPoints::FetchDevNV(const std::string& name, const std::shared_ptr<lns::AppDevice>& device,
                                std::shared_ptr<lns::NetworkVariable>& nv, bool* succeed) {
  if (context_.iniFile == nullptr) throw base::Error(base::err::kCpNvNotPlaced, kModule, "INI - File Error : " + name);
  auto& deviceTemplate = const_cast<lns::PlugInContext&>(context_).deviceTemplate;
  lns::M_PlugIn::FetchDevNv(name, lns::M_PlugIn::kNvSection, *context_.iniFile, deviceTemplate, device, nv, succeed);
}

void cMonitorPoints::FetchLmoNV(const std::string& name, const std::shared_ptr<lns::LonMarkObject>& object,
                                std::shared_ptr<lns::NetworkVariable>& nv, bool* succeed) {
  if (context_.iniFile == nullptr) throw base::Error(base::err::kCpNvNotPlaced, kModule, "INI - File Error : " + name);
  auto& deviceTemplate = const_cast<lns::PlugInContext&>(context_).deviceTemplate;
  lns::M_PlugIn::FetchNv(name, lns::M_PlugIn::kNvSection, *context_.iniFile, deviceTemplate, object, nv, succeed);
}

bool cMonitorPoints::ChangeNvType(std::shared_ptr<lns::NetworkVariable>& nv, int16_t typeId,
                                  const std::string& programId, uint8_t scope) {
  Entry("ChangeNvType");
  if (!nv || nv->NvType() == typeId) return true;
  if (context_.nvTypeChanger == nullptr) return false;
  const std::string name = nv->Name();
  try {
    context_.nvTypeChanger->ChangeType(nv, typeId, programId, scope);
    return true;
  } catch (const base::Error& e) {
    if (e.Number() == lns::err::kNvTypeUnchanged || e.Number() == lns::err::kNvTypeNotChangeable) return true;
    base::LogLine(base::FormatPlaceholders(ui::ResString(1542), {name}) + " " + e.Description(), base::kRedLine, true);
    return false;
  }
}

int16_t cMonitorPoints::WantedNvType(const std::string& name) const {
  if (context_.iniFile == nullptr) return -1;
  auto& deviceTemplate = const_cast<lns::PlugInContext&>(context_).deviceTemplate;
  if (context_.iniFile->ReadCpPosition(name, lns::M_PlugIn::kNvSection, deviceTemplate) == -1) return -1;
  const int16_t type = context_.iniFile->ReadField(name, lns::M_PlugIn::kNvSection, deviceTemplate, 3);
  return type > 0 ? type : -1;
}

bool cMonitorPoints::WriteTypes(const std::shared_ptr<lns::NvCollection>& nvs) {
  bool ok = true;
  for (int32_t i = 1; i <= nvs->Count(); ++i) {
    auto nv = nvs->Item(i);
    const int16_t wanted = WantedNvType(nv->Name());
    if (wanted >= 0) ok = ChangeNvType(nv, wanted, kAnyProgramId, 0) && ok;
  }
  return ok;
}

bool cMonitorPoints::WriteNvsTypeLmo2(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject) {
  Entry("WriteNvsTypeLmo2");
  return lonMarkObject ? WriteTypes(lonMarkObject->NetworkVariables()) : false;
}

bool cMonitorPoints::WriteNvsTypeDev(const std::shared_ptr<lns::AppDevice>& appDevice) {
  Entry("WriteNvsTypeDev");
  return appDevice ? WriteTypes(appDevice->Interface()->NetworkVariables()) : false;
}

bool cMonitorPoints::WriteNvsTypeLmo() {
  Entry("WriteNvsTypeLmo");
  bool ok = true;
  for (const auto& point : points_) {
    const int16_t wanted = WantedNvType(point->Name());
    if (point->Available() && wanted >= 0) ok = point->ChangeNvType(wanted, kAnyProgramId, 0) && ok;
  }
  return ok;
}

void cMonitorPoints::CheckNvTypeCpConsistencyLmo() {
  Entry("CheckNvTypeCpConsistencyLmo");
  for (const auto& point : points_) {
    if (!point->Available()) continue;
    const int16_t wanted = WantedNvType(point->Name());
    if (wanted < 0) {
      base::LogLine("Nv not found in Ini file", base::kRedLine, true);
    } else if (wanted != point->NvType()) {
      base::LogLine(base::FormatPlaceholders(ui::ResString(1543), {point->Name(), std::to_string(point->NvType()),
                                                                   std::to_string(wanted)}),
                    base::kRedLine, true);
    }
  }
}

}  // namespace monitoring
