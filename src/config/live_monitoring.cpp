#include "config/live_monitoring.h"

#include "base/procedure.h"
#include "ui/res_strings.h"

namespace config {
namespace {

constexpr int32_t kShownWhileLive = 2;  // monitored by its tag, without the NV's monitoring option
constexpr int16_t kLive = 1863;         // "Live: the values follow the device."
constexpr int16_t kPaused = 1864;       // "Paused: the values stay as they are."
constexpr int16_t kNotLive = 1865;      // "Not live: the object server does not report these NVs."

}  // namespace

LiveMonitoring::LiveMonitoring(monitoring::cMonitorPoints& points, ui::window::MonitorTable& table)
    : points_(points), table_(table) {
  updateId_ = points_.NvUpdate.Connect([this](const std::string& name, const std::string& value) {
    auto* row = Row(name);
    if (row == nullptr || !table_.live) return;  // paused, or the update of a read of our own
    row->value = value;
    row->failed = false;
    ++table_.updates;
  });
  failedId_ = points_.CommunicationFailed.Connect([this](monitoring::cMonitorPoint& point) {
    if (auto* row = Row(point.Name())) row->failed = true;
  });
  FillRows();
}

LiveMonitoring::~LiveMonitoring() {
  Stop();
  points_.NvUpdate.Disconnect(updateId_);
  points_.CommunicationFailed.Disconnect(failedId_);
}

void LiveMonitoring::FillRows() {
  table_.rows.clear();
  for (int16_t i = 1; i <= points_.Count(); ++i) {
    const auto point = points_.GetMonitorPoint(i);
    table_.rows.push_back({point->Name(), "", point->Available(), false});
  }
}

ui::window::MonitorRow* LiveMonitoring::Row(const std::string& name) {
  for (auto& row : table_.rows) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

void LiveMonitoring::SetState(int16_t textId) { table_.state = ui::ResString(textId); }

void LiveMonitoring::Show(bool shown) {
  shown_ = shown;
  if (!table_.live && static_cast<int32_t>(table_.rows.size()) != points_.Count()) FillRows();  // points added since
  if (shown && !table_.paused) {
    Start();
  } else {
    Stop();
  }
}

void LiveMonitoring::Pause(bool paused) {
  table_.paused = paused;
  if (paused) {
    Stop();
    SetState(kPaused);
  } else if (shown_) {
    Start();
  }
}

void LiveMonitoring::Start() {
  if (table_.live) return;
  if (static_cast<int32_t>(table_.rows.size()) != points_.Count()) FillRows();
  try {
    for (int16_t i = 1; i <= points_.Count(); ++i) {
      const auto point = points_.GetMonitorPoint(i);
      if (!point->Available() || point->MonitoringType() != 0) continue;
      point->SetMonitoringType(kShownWhileLive);
      retyped_.push_back(point);
    }
    table_.live = points_.ActivateMonitoring();
  } catch (const std::exception& e) {
    base::LogSwallowedError(std::string("Monitoring could not be switched on: ") + e.what());
    Stop();
  }
  // The values as they are now; a point whose NV does not answer is marked by the set's
  // CommunicationFailed event.
  for (auto& row : table_.rows) {
    if (!row.available) continue;
    row.failed = false;
    const std::string value = points_.GetMonitorPointByName(row.name)->Value();
    if (!row.failed) row.value = value;
  }
  SetState(table_.live ? kLive : kNotLive);
}

void LiveMonitoring::Stop() {
  if (table_.live) {
    try {
      points_.DeactivateMonitoring();
    } catch (const std::exception& e) {
      base::LogSwallowedError(std::string("Monitoring could not be switched off: ") + e.what());
    }
  }
  for (const auto& point : retyped_) {
    try {
      point->SetMonitoringType(0);
    } catch (const std::exception& e) {
      base::LogSwallowedError("The monitoring type of \"" + point->Name() + "\" could not be set back: " + e.what());
    }
  }
  retyped_.clear();
  const bool wasLive = table_.live;
  table_.live = false;
  if (wasLive && !table_.paused) SetState(kNotLive);
}

int LiveMonitoring::Pump() {
  const auto& server = points_.ObjectServer();
  if (!server) return 0;
  const int32_t before = table_.updates;
  try {
    server->PumpEvents();  // also when not live: it reads the event descriptor empty
  } catch (const std::exception& e) {
    base::LogSwallowedError(std::string("The object server's events could not be read: ") + e.what());
  }
  return table_.updates - before;
}

int LiveMonitoring::EventDescriptor() const {
  const auto& server = points_.ObjectServer();
  return server ? server->EventDescriptor() : -1;
}

}  // namespace config
