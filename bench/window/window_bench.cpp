// The Qt window's Monitoring page on the demo network (offscreen): the CPU it takes while it
// sits open with 10 live monitor points and nothing changes, the delay from another program's
// NV write to the value on the page, and the window's event loop while a device is silent.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTableWidget>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/waiting.h"
#include "config/main_window.h"
#include "monitoring/monitor_points.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/sqlite_db.h"
#include "platform/lonip/interfaces.h"
#include "platform/qt/window_view.h"
#include "platform/registry/file_registry.h"

namespace {

constexpr int kMonitorPoints = 10;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The demo network in a fresh folder, 10 of its NVs as monitor points (`silent`: the 5 of
// "Switch 1", monitored, on a LON/IP interface of loopback where the device does not answer:
// 600 ms a try and 3 retries), and the window on its Monitoring page.
struct MonitoringWindow {
  explicit MonitoringWindow(bool silent = false)
      : folder(std::filesystem::temp_directory_path() / ("portab-bench-window-" + std::to_string(::getpid()))) {
    std::ifstream in(PORTAB_DATA_DIR "/demo/network.json");
    std::ostringstream description;
    description << in.rdbuf();
    platform::lns_embedded::CreateNetwork(folder / "lns", description.str(), true);
    if (silent) MakeSilent();
    server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder / "lns");
    server->Open(0);
    context.objectServer = server;
    points = std::make_unique<monitoring::cMonitorPoints>(context);
    points->SetObjectServer(server);
    auto system = server->Networks()->Item(1)->Systems()->Item(1);
    const int wanted = silent ? 5 : kMonitorPoints;
    for (int32_t s = 1; s <= system->Subsystems()->Count() && points->Count() < wanted; ++s) {
      auto devices = system->Subsystems()->Item(s)->AppDevices();
      for (int32_t d = 1; d <= devices->Count() && points->Count() < wanted; ++d) {
        auto nvs = devices->Item(d)->Interface()->NetworkVariables();
        for (int32_t n = 1; n <= nvs->Count() && points->Count() < wanted; ++n) {
          points->AddMonitorPoint("point " + std::to_string(points->Count() + 1), nvs->Item(n), silent ? 1 : 0);
        }
      }
    }
    if (silent) points->ActivateMonitoring();
    config::MainWindowServices services;
    services.monitorPoints = points.get();
    form.LoadResStringsToMenu();
    window = std::make_unique<config::MainWindow>(form, services);
    if (!silent) window->PageButtonClick("3");  // a silent device's page is shown by the benchmark
    view = std::make_unique<platform::qt::WindowView>(*window);
    view->show();
    QApplication::processEvents();
    writer = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder / "lns");
    writer->Open(0);
    firstNv = writer->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)->Interface()
                  ->NetworkVariables()->Item(1);
  }
  // Attaches the network to an interface on 127.77.1.127 and gives "Switch 1" the address
  // 1/4 (127.77.1.4), where nothing answers.
  void MakeSilent() const {
    platform::registry::FileRegistry registry(folder / "registry.reg");
    platform::lonip::InterfaceStore interfaces(registry);
    interfaces.Put({"bench", *platform::lonip::Ipv4::Parse("127.77.1.127")});
    interfaces.Attach("Demo", "bench");
    platform::lns_embedded::SqliteDb db(folder / "lns" / "Demo.db", false);
    db.Exec("UPDATE device SET neuron_id = '02FC00000004', subnet = 1, node = 4 WHERE name = 'Switch 1'");
  }
  ~MonitoringWindow() {
    view.reset();
    window.reset();
    points.reset();
    std::filesystem::remove_all(folder);
  }

  std::filesystem::path folder;
  std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer> server;
  lns::PlugInContext context;
  std::unique_ptr<monitoring::cMonitorPoints> points;
  ui::frmMain form;
  std::unique_ptr<config::MainWindow> window;
  std::unique_ptr<platform::qt::WindowView> view;
  std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer> writer;  // another program's connection
  std::shared_ptr<lns::NetworkVariable> firstNv;                       // "point 1", written by it
};

// One second of the event loop per iteration with the page open and no NV changing.
void BM_MonitoringPageIdle(benchmark::State& state) {
  MonitoringWindow open;
  if (!open.form.monitorTable.live) state.SkipWithError("the monitor points are not live");
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    cpu += CpuSeconds() - cpuBefore;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  }
  state.counters["monitor_points"] = open.points->Count();
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_MonitoringPageIdle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Another connection writes the first point's NV; the time until the page shows the value.
void BM_MonitoringUpdateDelay(benchmark::State& state) {
  MonitoringWindow open;
  QTableWidget* table = open.view->MonitorTable();
  if (table == nullptr) state.SkipWithError("the Monitoring page has no table");
  QTimer wakeUp;  // the loop waits for events: never longer than this, should none come
  wakeUp.start(100);
  int step = 0;
  for (auto _ : state) {
    const QString value = QString("%1.0 1").arg(++step % 100);
    open.firstNv->SetValue(value.toStdString());
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (table->item(0, 1)->text() != value && std::chrono::steady_clock::now() < giveUp) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (table->item(0, 1)->text() != value) state.SkipWithError("the value did not arrive within 5 s");
  }
}
BENCHMARK(BM_MonitoringUpdateDelay)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The window with its 5 monitor points on a silent device, until every point got its
// CommunicationFailed: the worst delay of the window's event loop (a 10 ms timer's longest gap
// beyond its interval) and the time to the last point's failure. Arg 0: as before, the window's
// thread waits for the device itself (without a turn of its event loop the page reads the
// points' NVs at once, when shown and at each wake-up, each read waiting for the device's
// timeouts); arg 1: as the Qt window does now.
void BM_MonitoringPageSilentDevice(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    MonitoringWindow open(true);
    int failed = 0;
    Clock::time_point lastFailure;
    open.points->CommunicationFailed.Connect([&](monitoring::cMonitorPoint&) {
      if (++failed <= open.points->Count()) lastFailure = Clock::now();  // each point's first
    });
    const auto start = Clock::now();
    auto lastTick = start;
    double worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const auto now = Clock::now();
      worst = std::max(worst, std::chrono::duration<double, std::milli>(now - lastTick).count() - 10);
      lastTick = now;
    });
    tick.start(10);
    if (state.range(0) == 0) base::SetWaitTurn(nullptr);
    open.view->PageAction("3")->trigger();
    while (failed < open.points->Count() && Clock::now() - start < std::chrono::seconds(60)) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (failed < open.points->Count()) state.SkipWithError("not every point failed within 60 s");
    state.counters["worst_event_loop_delay_ms"] = worst;
    state.counters["to_last_failure_ms"] = std::chrono::duration<double, std::milli>(lastFailure - start).count();
  }
}
BENCHMARK(BM_MonitoringPageSilentDevice)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
