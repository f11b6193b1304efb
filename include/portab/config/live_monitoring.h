#pragma once
// The Monitoring page's live values: while the page is shown and not paused, each wake-up of
// the object server's event path (another program or the device wrote a value) reads the
// run's monitor points anew, and NV updates of points that a caller monitors arrive as well.
// The page itself monitors nothing: it gives no NV a monitor tag and changes no point's
// monitoring type, so the run's own flows find the points as they left them.

#include <memory>

#include "portab/base/signal.h"
#include "portab/monitoring/monitor_points.h"
#include "portab/ui/window/controls.h"

namespace config {

class LiveMonitoring {
 public:
  // Shows `points` in `table`; both must outlive it.
  LiveMonitoring(monitoring::cMonitorPoints& points, ui::window::MonitorTable& table);
  ~LiveMonitoring();
  LiveMonitoring(const LiveMonitoring&) = delete;
  LiveMonitoring& operator=(const LiveMonitoring&) = delete;

  // The page was shown (the values are read and follow the device, unless paused) or left.
  void Show(bool shown);
  // The user's pause (the values stay as they are) and resume (read anew, then followed).
  void Pause(bool paused);
  // Delivers the object server's pending events and, while live, reads the points anew;
  // returns how many rows changed. Call it when EventDescriptor becomes readable (it reads
  // the descriptor empty) or, without one, from time to time. Errors are logged in red.
  int Pump();
  // What an event loop waits on before calling Pump; -1: call Pump on a timer.
  int EventDescriptor() const;

 private:
  void FillRowsIfPointsChanged();
  int ReadRows();
  ui::window::MonitorRow* Row(const std::string& name);
  void SetLive(bool live);

  monitoring::cMonitorPoints& points_;
  ui::window::MonitorTable& table_;
  bool shown_ = false;
  bool pumping_ = false;  // a pump runs (an event loop turned inside it must not start another)
  base::Signal<const std::string&, const std::string&>::Id updateId_ = 0;
  base::Signal<monitoring::cMonitorPoint&>::Id failedId_ = 0;
};

}  // namespace config
