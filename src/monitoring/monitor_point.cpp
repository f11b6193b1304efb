#include "monitoring/monitor_point.h"

#include "base/error.h"
#include "base/procedure.h"
#include "monitoring/monitor_points.h"

namespace monitoring {

template <typename Change>
void cMonitorPoint::EditSettings(Change change) const {
  nv_->SetEditingSettings(true);
  try {
    change();
  } catch (...) {
    nv_->SetEditingSettings(false);
    throw;
  }
  nv_->SetEditingSettings(false);
}

void cMonitorPoint::ReportCommunicationFailure() {
  if (parent_ != nullptr) parent_->RaiseCommunicationFailed(*this);
}

int16_t cMonitorPoint::NvType() const { return available_ ? nv_->NvType() : int16_t{-1}; }

std::string cMonitorPoint::Value() {
  if (!available_) return {};
  try {
    bufferedValue_ = nv_->Value();
    return bufferedValue_;
  } catch (const base::Error&) {
    ReportCommunicationFailure();
    return {};
  }
}

void cMonitorPoint::SetValue(const std::string& value) {
  if (!available_) return;
  try {
    nv_->SetValue(value);
    bufferedValue_ = value;
  } catch (const base::Error&) {
    ReportCommunicationFailure();
  }
}

std::string cMonitorPoint::BufferedValue() { return bufferedValue_.empty() ? Value() : bufferedValue_; }

bool cMonitorPoint::OnElement(const std::string& elementName, const std::function<void(lns::NvElement&)>& use) {
  if (!available_) return false;
  std::shared_ptr<lns::NvElement> element;
  try {
    element = nv_->Element(elementName);
  } catch (const base::Error&) {
    return false;  // no such element: no event
  }
  try {
    use(*element);
  } catch (const base::Error&) {
    ReportCommunicationFailure();
    return false;
  }
  return true;
}

bool cMonitorPoint::SetElementValue(const std::string& elementName, const std::string& value) {
  return OnElement(elementName, [&](lns::NvElement& element) { element.SetValue(value); });
}

bool cMonitorPoint::GetElementValue(const std::string& elementName, std::string& value) {
  return OnElement(elementName, [&](lns::NvElement& element) { value = element.Value(); });
}

void cMonitorPoint::SetMonitoringType(int32_t type) {
  if (!available_) return;
  monitoringType_ = type;
  if (type < 0 || type > 2) return;
  EditSettings([&] { nv_->SetMonitoringOption(type == 1); });
}

int32_t cMonitorPoint::PollInterval() const { return available_ ? nv_->PollInterval() : 0; }
void cMonitorPoint::SetPollInterval(int32_t interval) {
  if (available_) EditSettings([&] { nv_->SetPollInterval(interval); });
}
std::string cMonitorPoint::Format() const { return available_ ? nv_->Format() : std::string(); }
void cMonitorPoint::SetFormat(const std::string& format) {
  if (available_) EditSettings([&] { nv_->SetFormat(format); });
}
bool cMonitorPoint::ReportByException() const { return available_ && nv_->ReportByException(); }
void cMonitorPoint::SetReportByException(bool on) {
  if (available_) EditSettings([&] { nv_->SetReportByException(on); });
}

void cMonitorPoint::ActivateMonitoring() {
  base::LogEntry("cMonitorPoint", base::Visibility::Public, "ActivateMonitoring");
  if (!available_) return;
  if (nv_->MonitorTag() != 0) return;
  if (monitoringType_ == 0) return;
  EditSettings([&] { nv_->SetMonitorTag(tag_); });
}

void cMonitorPoint::DeactivateMonitoring() {
  base::LogEntry("cMonitorPoint", base::Visibility::Public, "DeactivateMonitoring");
  if (!available_) return;
  try {
    EditSettings([&] {
      nv_->SetMonitoringOption(false);
      nv_->SetMonitorTag(0);
    });
  } catch (const base::Error&) {
    // A failing NV skips the rest of the bracket and reports nothing.
  }
  bufferedValue_.clear();
}

bool cMonitorPoint::MonitoringIsActive() const { return available_ && nv_->MonitorTag() != 0; }

bool cMonitorPoint::ChangeNvType(int16_t nvTypeId, const std::string& programId, uint8_t scope) {
  if (!available_ || parent_ == nullptr) return false;
  auto nv = nv_;  // the point keeps its own object
  return parent_->ChangeNvType(nv, nvTypeId, programId, scope);
}

bool cMonitorPoint::SetNewNvType() {
  if (!available_ || newNvType_ < 0) return false;
  return ChangeNvType(newNvType_, "0000000000000000", 0);
}

}  // namespace monitoring
