#pragma once
// The Monitoring page's live values: while the page is shown and not paused, the run's
// monitor points are monitored (each NV carries its point's tag) and every NV update the
// object server reports reaches the page's table. Points of monitoring type 0, which are
// never activated, are given type 2 (monitored, without the NV's monitoring option) while
// they are shown, and type 0 again afterwards, so the run's other flows find them as they were.

#include <memory>
#include <vector>

#include "portab/base/signal.h"
#include "portab/monitoring/monitor_points.h"
#include "portab/ui/window/controls.h"

namespace config {

class LiveMonitoring {
 public:
  // Shows `points` in `table`; both must outlive it.
  LiveMonitoring(monitoring::cMonitorPoints& points, ui::window::MonitorTable& table);
  // Switches monitoring off when it is on.
  ~LiveMonitoring();
  LiveMonitoring(const LiveMonitoring&) = delete;
  LiveMonitoring& operator=(const LiveMonitoring&) = delete;

  // The page was shown (monitoring goes on, unless paused) or left (it goes off). Failures of
  // the object server are logged in red and leave the table not live.
  void Show(bool shown);
  // The user's pause (monitoring off, the values stay) and resume (on again, values read anew).
  void Pause(bool paused);
  // Delivers the object server's pending NV updates; returns how many reached the table.
  // Call it when EventDescriptor becomes readable (it reads the descriptor empty).
  int Pump();
  // What an event loop waits on before calling Pump; -1: call Pump on a timer.
  int EventDescriptor() const;
  // Monitoring off, the values stay (the window closes).
  void Stop();

 private:
  void Start();
  void FillRows();
  ui::window::MonitorRow* Row(const std::string& name);
  void SetState(int16_t textId);

  monitoring::cMonitorPoints& points_;
  ui::window::MonitorTable& table_;
  bool shown_ = false;
  std::vector<std::shared_ptr<monitoring::cMonitorPoint>> retyped_;  // type 0 points given type 2
  base::Signal<const std::string&, const std::string&>::Id updateId_ = 0;
  base::Signal<monitoring::cMonitorPoint&>::Id failedId_ = 0;
};

}  // namespace config
