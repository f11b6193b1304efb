#include "config/live_monitoring.h"

#include "base/procedure.h"
#include "base/waiting.h"
#include "ui/res_strings.h"

namespace config {
namespace {

constexpr int16_t kLive = 1863;    // "Live: the values follow the device."
constexpr int16_t kPaused = 1864;  // "Paused: the values stay as they are."

}  // namespace

LiveMonitoring::LiveMonitoring(monitoring::cMonitorPoints& points, ui::window::MonitorTable& table)
    : points_(points), table_(table) {
  updateId_ = points_.NvUpdate.Connect([this](const std::string& name, const std::string& value) {
    auto* row = Row(name);
    if (row == nullptr || !table_.live) return;
    row->value = value;
    row->failed = false;
    ++table_.updates;
  });
  failedId_ = points_.CommunicationFailed.Connect([this](monitoring::cMonitorPoint& point) {
    if (auto* row = Row(point.Name())) row->failed = true;
  });
  FillRowsIfPointsChanged();
}

LiveMonitoring::~LiveMonitoring() {
  points_.NvUpdate.Disconnect(updateId_);
  points_.CommunicationFailed.Disconnect(failedId_);
}

void LiveMonitoring::FillRowsIfPointsChanged() {
  if (static_cast<int32_t>(table_.rows.size()) == points_.Count()) return;
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

void LiveMonitoring::SetLive(bool live) {
  if (live) ReadRows();
  table_.live = live;
  table_.state = ui::ResString(table_.paused ? kPaused : kLive);
}

void LiveMonitoring::Show(bool shown) {
  shown_ = shown;
  FillRowsIfPointsChanged();
  SetLive(shown && !table_.paused);
}

void LiveMonitoring::Pause(bool paused) {
  table_.paused = paused;
  SetLive(shown_ && !paused);
}

// The values as they are now, read from the NVs themselves without waiting for a device (the
// devices are asked away from the window, and their answers wake the event loop): the points'
// buffered values and their set's events stay as the run's flows left them. A row whose NV
// does not answer is marked and keeps the value it showed.
int LiveMonitoring::ReadRows() {
  int changed = 0;
  for (auto& row : table_.rows) {
    if (!row.available) continue;
    const bool failedBefore = row.failed;
    std::string value;
    try {
      const auto nv = points_.GetMonitorPointByName(row.name)->NetworkVariable();
      value = nv ? nv->LastKnownValue() : std::string();
      row.failed = false;
    } catch (const std::exception&) {  // the device does not answer, or the point was removed
      row.failed = true;
    }
    if (!row.failed && value != row.value) {
      row.value = value;
      ++changed;
    } else if (row.failed != failedBefore) {
      ++changed;
    }
  }
  return changed;
}

int LiveMonitoring::Pump() {
  const auto& server = points_.ObjectServer();
  // Not inside a turn of the event loop while this thread waits for a device: the code below
  // it is in the middle of a read or write.
  if (!server || pumping_ || base::InWaitTurn()) return 0;
  pumping_ = true;
  struct Done {
    bool& pumping;
    ~Done() { pumping = false; }
  } done{pumping_};
  const int32_t before = table_.updates;
  try {
    server->PumpEvents();  // also when not live: it reads the event descriptor empty
  } catch (const std::exception& e) {
    base::LogSwallowedError(std::string("The object server's events could not be read: ") + e.what());
  }
  const int32_t delivered = table_.updates - before;
  const int read = table_.live ? ReadRows() : 0;
  table_.updates += read;
  return delivered + read;
}

int LiveMonitoring::EventDescriptor() const {
  const auto& server = points_.ObjectServer();
  return server ? server->EventDescriptor() : -1;
}

}  // namespace config
