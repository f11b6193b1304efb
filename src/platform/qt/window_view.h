#pragma once
// The main window model (config::MainWindow on its ui::frmMain) as a Qt main window: menu bar
// with its bands and tools, the page bar, the tab strip of the page shown with its sub-pages,
// the parameter controls, the button line, the status line and the log box. Every user action
// goes to the window model; after it, the window shows the model's state again. No product
// logic lives here.

#include <QMainWindow>
#include <map>
#include <memory>
#include <vector>

#include "config/main_window.h"
#include "config/window_script.h"
#include "platform/qt/control_binder.h"

class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class QShortcut;
class QSocketNotifier;
class QStackedWidget;
class QTabBar;
class QTableWidget;
class QTimer;
class QToolBar;

namespace platform::qt {

class WindowView final : public QMainWindow {
 public:
  explicit WindowView(config::MainWindow& window);
  ~WindowView() override;

  // Shows the model's state: captions, menu, pages, tabs, buttons, status line, log, the
  // window's place, enabled state and hourglass. Closes the window once the model unloaded.
  void Refresh();

  const ui::frmMain& Form() const { return form_; }
  // The widgets a user (or a test) acts on.
  QWidget* WidgetOf(const ui::window::ValueControl& control) const;
  QAction* ToolAction(const std::string& tool) const;
  QAction* PageAction(const std::string& key) const;
  QTabBar* Tabs() const { return tabs_; }
  QPushButton* Button(const std::string& which) const;  // "ok", "cancel" or "apply"
  QShortcut* HelpKey() const { return help_; }
  // The position of the tab "KEY:n" among the tabs of the page shown, -1 when it has none.
  int TabIndex(const std::string& key) const;
  // A key pressed in the window (112: F1, the help of the sub-page shown).
  void PressKey(int16_t keyCode);
  // A menu tool by name, also one the menu bar does not show (the Logger of the Tools band).
  void RunTool(const std::string& tool);
  // A click on the tab "KEY:n" of the page shown.
  void RunTab(const std::string& key);
  QListWidget* Log() const { return log_; }
  QLabel* Header() const { return header_; }
  // The Monitoring page's table of monitor points and its Pause/Resume button (nullptr when
  // the window has no monitor points).
  QTableWidget* MonitorTable() const { return monitorTable_; }
  QPushButton* MonitorPause() const { return monitorPause_; }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void BuildMenu();
  void BuildPages();
  QWidget* BuildButtonLine();
  // The monitor table with its state line and Pause button, and the wake-up of its updates.
  QWidget* BuildMonitorTable();
  void WatchMonitorEvents();
  void PumpMonitorEvents();
  void ShowMonitorTable();
  void ShowTabs();
  void ShowLog();
  // Runs a user action on the model, then shows the result.
  void Act(const std::function<void()>& action);

  config::MainWindow& window_;
  ui::frmMain& form_;
  std::map<std::string, QAction*> tools_;
  std::map<std::string, QAction*> pageActions_;
  QToolBar* pageBar_ = nullptr;
  QTabBar* tabs_ = nullptr;
  QStackedWidget* subPages_ = nullptr;
  std::map<std::pair<int32_t, int16_t>, int> subPageIndex_;  // (page, sub-page) -> stack index
  QListWidget* log_ = nullptr;
  bool logShown_ = false;
  QLabel* status_ = nullptr;
  QLabel* header_ = nullptr;
  QLabel* lastTransfer_ = nullptr;
  std::vector<QLabel*> nothingLabels_;  // on the sub-pages without controls
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* apply_ = nullptr;
  QShortcut* help_ = nullptr;
  QTableWidget* monitorTable_ = nullptr;
  QLabel* monitorState_ = nullptr;
  QPushButton* monitorPause_ = nullptr;
  QTimer* monitorTimer_ = nullptr;  // only for an object server without an event descriptor
  QSocketNotifier* monitorNotifier_ = nullptr;
  std::vector<std::unique_ptr<ControlBinding>> bindings_;
  base::Signal<>::Id stateChanged_ = 0;
  base::Signal<>::Id logAdded_ = 0;
  bool closing_ = false;
  bool refreshing_ = false;
};

// The user's actions of a window script, carried out on the window's widgets: key events into
// text boxes, clicks on buttons, menu tools and tabs.
class WidgetActions final : public config::UserActions {
 public:
  // With a `screenshotFolder`, the window is saved as PNG pictures after every page, tab and
  // menu action, at a small (640 x 480) and a large (1280 x 800) size, named in English words
  // by page, tab (when the page has several), language and size
  // ("configuration-logger-de-small.png", "monitoring-en-large.png").
  explicit WidgetActions(WindowView& view, std::string screenshotFolder = {})
      : view_(view), screenshotFolder_(std::move(screenshotFolder)) {}
  void Menu(const std::string& tool) override;
  void Page(const std::string& key) override;
  void Tab(const std::string& key) override;
  void Type(ui::window::TextBox& box, const std::string& text) override;
  void Pick(ui::window::ComboBox& combo, int32_t position) override;
  void Click(ui::window::ValueControl& control) override;
  void Button(const std::string& which) override;
  void Key(int16_t keyCode) override;

 private:
  QWidget& Widget(const ui::window::ValueControl& control) const;
  std::string ScreenshotName(const char* size) const;
  void Screenshot() const;
  WindowView& view_;
  std::string screenshotFolder_;
};

}  // namespace platform::qt
