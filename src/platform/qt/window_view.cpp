#include "platform/qt/window_view.h"

#include <cctype>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QHeaderView>
#include <QShortcut>
#include <QSocketNotifier>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "base/waiting.h"
#include "config/live_monitoring.h"
#include "ui/res_strings.h"
#include "ui/window/controls.h"

namespace platform::qt {

using namespace ui::window;

namespace {

constexpr double kTwipsPerPixel = 15;
constexpr int16_t kF1 = 112;
constexpr int16_t kEnter = 13;
constexpr int16_t kEscape = 27;
constexpr int16_t kLogSubPage = 7;
constexpr int16_t kNothingToShow = 1860;  // "Nothing to show for this object on this page."
constexpr int32_t kMonitoringPage = 2;     // position of the Monitoring page in the pages
constexpr int kPollMilliseconds = 500;     // without an event descriptor: how often to ask

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A log colour made readable on the log's background: on a dark one, dark colours (the log's
// black, blue, green and red) are lightened.
QColor Readable(const QColor& colour, const QPalette& palette) {
  constexpr int kReadableOnDark = 170;
  if (palette.color(QPalette::Base).lightness() >= 128 || colour.lightness() >= kReadableOnDark) return colour;
  const QColor hsl = colour.toHsl();
  return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), kReadableOnDark);
}

}  // namespace

WindowView::WindowView(config::MainWindow& window) : window_(window), form_(window.Form()) {
  BuildMenu();
  pageBar_ = addToolBar("pages");
  pageBar_->setOrientation(Qt::Vertical);
  pageBar_->setMovable(false);
  addToolBar(Qt::LeftToolBarArea, pageBar_);
  for (const auto& button : form_.pageBar.Buttons()) {
    QAction* action = pageBar_->addAction(Q(button.caption));
    action->setCheckable(true);
    action->setObjectName(Q("page " + button.key));
    const std::string key = button.key;
    connect(action, &QAction::triggered, this, [this, key] { Act([this, key] { window_.PageButtonClick(key); }); });
    const auto number = static_cast<int16_t>(pageActions_.size() + 1);
    connect(action, &QAction::hovered, this, [this, number] { Act([this, number] { window_.PageBarMouseMove(number); }); });
    // From the keyboard: Ctrl+1 ... Ctrl+5, or Tab onto the page bar and Space.
    action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + number - 1)));
    action->setToolTip(Q(button.caption + " (") + action->shortcut().toString(QKeySequence::NativeText) + ")");
    if (QWidget* toolButton = pageBar_->widgetForAction(action)) toolButton->setFocusPolicy(Qt::TabFocus);
    pageActions_[key] = action;
  }
  pageBar_->installEventFilter(this);
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  tabs_ = new QTabBar;
  tabs_->setExpanding(false);
  // A click, the arrow keys or the wheel: the model hears of every change of tab (ShowTabs
  // makes its own changes with the signals blocked).
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (form_.currentPage < 0 || index < 0) return;
    const auto& strip = form_.pages[static_cast<size_t>(form_.currentPage)];
    if (static_cast<size_t>(index) >= strip.tabs.size()) return;
    const std::string key = strip.tabs[static_cast<size_t>(index)].key;
    Act([this, key] { window_.TabClick(key); });
  });
  header_ = new QLabel;
  header_->setObjectName("header");
  header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(header_);
  column->addWidget(tabs_);
  subPages_ = new QStackedWidget;
  column->addWidget(subPages_, 1);
  BuildPages();
  column->addWidget(BuildButtonLine());
  WatchMonitorEvents();
  setCentralWidget(central);
  // Busy, status texts and log lines show while a long read or write still runs; user input
  // waits until it ends.
  const auto showNow = [this] {
    Refresh();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  stateChanged_ = form_.StateChanged.Connect(showNow);
  logAdded_ = form_.logBox.Added.Connect(showNow);
  // While a device is asked for the window (a check, an NV read or written, a commit), the
  // request runs away from this thread and the event loop keeps turning: repaints, timers and
  // the monitor's wake-ups; user input waits until it ends.
  base::SetWaitTurn([] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  help_ = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help_, &QShortcut::activated, this, [this] { PressKey(kF1); });
  // Enter applies (when there is something to apply), Escape cancels.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
      if (apply_->isEnabled()) apply_->click();
    });
  }
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] { cancel_->click(); });
  if (form_.left != 0 || form_.top != 0) {  // a place stored by an earlier run
    move(static_cast<int>(form_.left / kTwipsPerPixel), static_cast<int>(form_.top / kTwipsPerPixel));
  }
  status_ = new QLabel;
  statusBar()->addWidget(status_, 1);  // permanent: menu hovers do not wipe it
  lastTransfer_ = new QLabel;
  lastTransfer_->setObjectName("lastTransfer");
  statusBar()->addPermanentWidget(lastTransfer_);
  resize(static_cast<int>(form_.width / kTwipsPerPixel), static_cast<int>(form_.height / kTwipsPerPixel));
  Refresh();
}

WindowView::~WindowView() {
  base::SetWaitTurn(nullptr);
  form_.StateChanged.Disconnect(stateChanged_);
  form_.logBox.Added.Disconnect(logAdded_);
}

void WindowView::BuildMenu() {
  for (const auto& band : form_.menu.Bands()) {
    if (band.name != "MainMenu") continue;
    for (const auto& top : band.tools) {
      QMenu* menu = menuBar()->addMenu(Q(top.caption));
      menu->setObjectName(Q(top.name));
      tools_[top.name] = menu->menuAction();
      for (const auto& member : form_.menu.Bands()) {
        if (member.name != top.name) continue;
        for (const auto& tool : member.tools) {
          if (tool.caption.empty()) {
            menu->addSeparator();
            continue;
          }
          QAction* action = nullptr;
          if (tool.name == "Language") {  // the language band is a submenu of the File band
            QMenu* languages = menu->addMenu(Q(tool.caption));
            action = languages->menuAction();
            for (const auto& language : form_.menu.Bands()) {
              if (language.name != "Language") continue;
              for (const auto& choice : language.tools) {
                QAction* item = languages->addAction(Q(choice.caption));
                const std::string name = choice.name;
                connect(item, &QAction::triggered, this, [this, name] { Act([this, name] { window_.MenuToolClick(name); }); });
                tools_[name] = item;
              }
            }
          } else {
            action = menu->addAction(Q(tool.caption));
            const std::string name = tool.name;
            connect(action, &QAction::triggered, this, [this, name] { Act([this, name] { window_.MenuToolClick(name); }); });
          }
          tools_[tool.name] = action;
        }
      }
    }
  }
}

void WindowView::BuildPages() {
  // One widget per sub-page of each page, the parameter controls in rows with their labels.
  for (size_t page = 0; page < form_.pages.size(); ++page) {
    for (const auto& frame : form_.pages[page].frames) {
      auto* sheet = new QWidget;
      auto* rows = new QFormLayout(sheet);
      rows->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
      std::string lastLabel;
      if (frame.index == kLogSubPage) {  // the Logger tab: the log box
        if (log_ == nullptr) log_ = new QListWidget;
        log_->setObjectName("log");
        subPageIndex_[{static_cast<int32_t>(page), static_cast<int16_t>(frame.index)}] = subPages_->addWidget(log_);
        delete sheet;
        continue;
      }
      const bool firstFrame = &frame == &form_.pages[page].frames.front();
      if (page == kMonitoringPage && firstFrame && window_.Monitoring() != nullptr && !form_.monitorTable.rows.empty()) {
        rows->addRow(BuildMonitorTable());
      }
      for (const auto& placed : form_.controls) {
        if (placed.page != static_cast<int32_t>(page) || placed.subPage != frame.index) continue;
        auto binding = std::make_unique<ControlBinding>(placed.control, [this] { Refresh(); });
        rows->addRow(placed.label == lastLabel ? QString() : Q(placed.label), binding->Row());
        binding->Widget()->setAccessibleName(Q(placed.control->Caption().empty() ? placed.label : placed.control->Caption()));
        lastLabel = placed.label;
        bindings_.push_back(std::move(binding));
      }
      if (rows->rowCount() == 0) {  // a sub-page without controls says so
        auto* nothing = new QLabel;
        nothing->setObjectName("nothing");
        nothing->setAlignment(Qt::AlignCenter);
        rows->addRow(nothing);
        nothingLabels_.push_back(nothing);
      }
      subPageIndex_[{static_cast<int32_t>(page), static_cast<int16_t>(frame.index)}] = subPages_->addWidget(sheet);
    }
  }
  if (log_ == nullptr) {  // no page holds a Logger tab: the log box on a sheet of its own
    log_ = new QListWidget;
    log_->setObjectName("log");
    subPageIndex_[{-1, kLogSubPage}] = subPages_->addWidget(log_);
  }
  subPageIndex_[{-1, 0}] = subPages_->addWidget(new QWidget);  // nothing to show
}

QWidget* WindowView::BuildButtonLine() {
  auto* line = new QWidget;
  auto* row = new QHBoxLayout(line);
  row->addStretch(1);
  ok_ = new QPushButton;
  cancel_ = new QPushButton;
  apply_ = new QPushButton;
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { Act([this] { window_.OkClick(); }); });
  connect(cancel_, &QPushButton::clicked, this, [this] { Act([this] { window_.CancelClick(); }); });
  connect(apply_, &QPushButton::clicked, this, [this] { Act([this] { window_.ApplyClick(); }); });
  for (QPushButton* button : {ok_, cancel_, apply_}) row->addWidget(button);
  return line;
}

QWidget* WindowView::BuildMonitorTable() {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  auto* line = new QHBoxLayout;
  monitorState_ = new QLabel;
  monitorState_->setObjectName("monitorState");
  monitorPause_ = new QPushButton;
  monitorPause_->setObjectName("monitorPause");
  connect(monitorPause_, &QPushButton::clicked, this, [this] {
    Act([this] { window_.Monitoring()->Pause(!form_.monitorTable.paused); });
  });
  line->addWidget(monitorState_, 1);
  line->addWidget(monitorPause_);
  column->addLayout(line);
  monitorTable_ = new QTableWidget(0, 2);
  monitorTable_->setObjectName("monitorTable");
  monitorTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  monitorTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  monitorTable_->verticalHeader()->hide();
  monitorTable_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  monitorTable_->horizontalHeader()->setStretchLastSection(true);
  column->addWidget(monitorTable_, 1);
  return box;
}

void WindowView::WatchMonitorEvents() {
  config::LiveMonitoring* live = window_.Monitoring();
  if (live == nullptr) return;
  // The object server's descriptor wakes the event loop when an update may be waiting; the
  // loop sleeps otherwise. A server without one is asked on a timer while the page is live.
  const int descriptor = live->EventDescriptor();
  if (descriptor >= 0) {
    monitorNotifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(monitorNotifier_, &QSocketNotifier::activated, this, [this] { PumpMonitorEvents(); });
  } else {
    monitorTimer_ = new QTimer(this);
    monitorTimer_->setObjectName("monitorPoll");
    monitorTimer_->setInterval(kPollMilliseconds);
    connect(monitorTimer_, &QTimer::timeout, this, [this] { PumpMonitorEvents(); });
  }
}

void WindowView::PumpMonitorEvents() {
  try {
    if (window_.Monitoring()->Pump() > 0) ShowMonitorTable();
  } catch (const std::exception& e) {  // nothing escapes into the event loop
    base::LogSwallowedError(std::string("The monitor values could not be shown: ") + e.what());
  }
}

void WindowView::ShowMonitorTable() {
  const auto& table = form_.monitorTable;
  if (monitorTimer_ != nullptr && monitorTimer_->isActive() != table.live) {
    if (table.live) {
      monitorTimer_->start();
    } else {
      monitorTimer_->stop();
    }
  }
  if (monitorTable_ == nullptr) return;
  monitorState_->setText(Q(table.state));
  monitorPause_->setText(Q(ui::ResString(table.paused ? 1867 : 1866)));
  monitorTable_->setHorizontalHeaderLabels({Q(ui::ResString(1868)), Q(ui::ResString(1869))});
  monitorTable_->setAccessibleName(Q(ui::ResString(1002)));
  monitorTable_->setRowCount(static_cast<int>(table.rows.size()));
  for (size_t i = 0; i < table.rows.size(); ++i) {
    const auto& row = table.rows[i];
    const auto at = static_cast<int>(i);
    if (monitorTable_->item(at, 0) == nullptr) {
      monitorTable_->setItem(at, 0, new QTableWidgetItem);
      monitorTable_->setItem(at, 1, new QTableWidgetItem);
    }
    monitorTable_->item(at, 0)->setText(Q(row.name));
    QTableWidgetItem* value = monitorTable_->item(at, 1);
    value->setText(Q(!row.available ? ui::ResString(1870) : row.failed ? ui::ResString(1871) : row.value));
    const QPalette& palette = monitorTable_->palette();
    value->setForeground(row.failed ? QColor(Qt::red)
                                    : palette.color(row.available ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  }
}

void WindowView::Act(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    // The window's logic reports its own errors; one that escapes still reaches the log in red
    // and the status line.
    const std::string description = base::ToError(e, "Window").Description();
    base::LogSwallowedError("The window's action failed: " + description);
    form_.statusLine = description;
  }
  Refresh();
}

void WindowView::Refresh() {
  if (refreshing_) return;
  refreshing_ = true;
  setWindowTitle(Q(form_.windowTitle.empty() ? form_.caption : form_.windowTitle));
  header_->setText(Q(form_.headerLine));
  if (lastTransfer_ != nullptr) lastTransfer_->setText(Q(form_.lastTransfer));
  for (QLabel* nothing : nothingLabels_) nothing->setText(Q(ui::ResString(kNothingToShow)));
  header_->setVisible(!form_.headerLine.empty());
  setEnabled(form_.enabled);
  // While a read or write runs (its transaction open), the monitor values wait: the event
  // loop turns only to show progress, and a pending wake-up is taken once the window is back.
  if (monitorNotifier_ != nullptr) monitorNotifier_->setEnabled(form_.enabled);
  pageBar_->setCursor(form_.pageBar.mousePointer == config::MainWindow::kCustomPointer ? Qt::PointingHandCursor
                                                                                     : Qt::ArrowCursor);
  if (form_.mousePointer == config::MainWindow::kHourglass) {
    if (QApplication::overrideCursor() == nullptr) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (QApplication::overrideCursor() != nullptr) {
    QApplication::restoreOverrideCursor();
  }
  for (const auto& band : form_.menu.Bands()) {
    for (const auto& tool : band.tools) {
      auto it = tools_.find(tool.name);
      if (it == tools_.end() || tool.caption.empty()) continue;
      it->second->setText(Q(tool.caption));
      it->second->setVisible(tool.visible);
    }
  }
  for (auto& [key, action] : pageActions_) {
    const bool present = form_.pageBar.Has(key);
    action->setVisible(present);
    action->setChecked(form_.currentPage + 1 == std::stoi(key));
    for (const auto& button : form_.pageBar.Buttons()) {
      if (button.key == key) action->setText(Q(button.caption));
    }
  }
  ShowTabs();
  ShowLog();
  // The first letter of each button's caption is its mnemonic (Alt+letter).
  ok_->setText(Q("&" + form_.buttons.ok));
  cancel_->setText(Q("&" + form_.buttons.cancel));
  apply_->setText(Q("&" + form_.buttons.apply));
  apply_->setEnabled(form_.buttons.applyEnabled);
  status_->setText(Q(form_.statusLine));
  for (const auto& binding : bindings_) binding->Show();
  ShowMonitorTable();
  refreshing_ = false;
  if (form_.unloaded && !closing_) {
    closing_ = true;
    close();
  }
}

void WindowView::ShowTabs() {
  const QSignalBlocker block(tabs_);
  const bool pageShown = form_.currentPage >= 0 && static_cast<size_t>(form_.currentPage) < form_.pages.size();
  const std::vector<Tab> none;
  const auto& tabs = pageShown ? form_.pages[static_cast<size_t>(form_.currentPage)].tabs : none;
  while (tabs_->count() > static_cast<int>(tabs.size())) tabs_->removeTab(tabs_->count() - 1);
  while (tabs_->count() < static_cast<int>(tabs.size())) tabs_->addTab(QString());
  for (size_t i = 0; i < tabs.size(); ++i) {
    tabs_->setTabText(static_cast<int>(i), Q(tabs[i].caption));
    tabs_->setTabToolTip(static_cast<int>(i), Q(tabs[i].toolTip));
  }
  if (pageShown) tabs_->setCurrentIndex(form_.pages[static_cast<size_t>(form_.currentPage)].selected);
  auto it = subPageIndex_.find({form_.currentPage, form_.currentSubPage});
  if (it == subPageIndex_.end()) it = subPageIndex_.find({-1, 0});
  subPages_->setCurrentIndex(it->second);
}

void WindowView::ShowLog() {
  const auto& lines = form_.logBox.Lines();
  if (log_->count() > static_cast<int>(lines.size())) log_->clear();
  const bool added = static_cast<size_t>(log_->count()) < lines.size();
  for (size_t i = static_cast<size_t>(log_->count()); i < lines.size(); ++i) {
    auto* item = new QListWidgetItem(Q(lines[i].text));
    item->setForeground(Readable(QtColour(lines[i].colour, log_->palette()), log_->palette()));
    log_->addItem(item);
  }
  if (added) log_->scrollToBottom();
  // The Logger tool makes the log box visible: shown once, when it becomes visible.
  if (form_.logBox.visible && !logShown_) subPages_->setCurrentWidget(log_);
  logShown_ = form_.logBox.visible;
}

bool WindowView::eventFilter(QObject* object, QEvent* event) {
  if (object == pageBar_ && event->type() == QEvent::Leave) Act([this] { window_.PageBarMouseMove(0); });
  return QMainWindow::eventFilter(object, event);
}

void WindowView::closeEvent(QCloseEvent* event) {
  if (form_.unloaded) {
    event->accept();
    return;
  }
  // The window goes only when the model unloaded: a "No" to the question, or an error on the
  // way, keeps it open.
  bool closed = false;
  Act([&] { closed = window_.Close(); });
  if (closed || form_.unloaded) {
    event->accept();
  } else {
    event->ignore();
  }
}

void WindowView::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  // A minimised or maximised window does not store its place when it closes.
  form_.windowState = isMinimized() ? 1 : isMaximized() ? 2 : 0;
}

void WindowView::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (form_.windowState != 0) return;
  form_.left = pos().x() * kTwipsPerPixel;
  form_.top = pos().y() * kTwipsPerPixel;
}

QWidget* WindowView::WidgetOf(const ValueControl& control) const {
  for (const auto& binding : bindings_) {
    if (&binding->Control() == &control) return binding->Widget();
  }
  return nullptr;
}

QAction* WindowView::ToolAction(const std::string& tool) const {
  for (const auto& [name, action] : tools_) {
    if (base::EqualsNoCase(name, tool)) return action;
  }
  return nullptr;
}

QAction* WindowView::PageAction(const std::string& key) const {
  auto it = pageActions_.find(key);
  return it == pageActions_.end() ? nullptr : it->second;
}

int WindowView::TabIndex(const std::string& key) const {
  if (form_.currentPage < 0) return -1;
  const auto& tabs = form_.pages[static_cast<size_t>(form_.currentPage)].tabs;
  for (size_t i = 0; i < tabs.size(); ++i) {
    if (tabs[i].key == key) return static_cast<int>(i);
  }
  return -1;
}

void WindowView::RunTab(const std::string& key) {
  Act([this, key] { window_.TabClick(key); });
}

void WindowView::RunTool(const std::string& tool) {
  Act([this, tool] { window_.MenuToolClick(tool); });
}

void WindowView::PressKey(int16_t keyCode) {
  Act([this, keyCode] { window_.KeyDown(keyCode); });
}

QPushButton* WindowView::Button(const std::string& which) const {
  if (which == "ok") return ok_;
  if (which == "cancel") return cancel_;
  return apply_;
}

// ---- a script's actions through the widgets ----

QWidget& WidgetActions::Widget(const ValueControl& control) const {
  QWidget* widget = view_.WidgetOf(control);
  if (widget == nullptr) throw base::Error(base::err::kInvalidCallOrKey, "Window", "the control is not in the window");
  return *widget;
}

namespace {

// English words for a file name: the English caption of the caption id in `tag` ("c/t"),
// lower case, blanks as "-" ("Object configuration" -> "object-configuration").
std::string EnglishName(const std::string& tag) {
  const int16_t language = ui::LanguageOffset();
  ui::SetLanguageOffset(ui::kEnglishOffset);
  std::string caption = ui::ResString(static_cast<int16_t>(base::Val(tag.substr(0, tag.find('/')))));
  ui::SetLanguageOffset(language);
  std::string name;
  for (const char c : caption) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!name.empty() && name.back() != '-') {
      name += '-';
    }
  }
  while (!name.empty() && name.back() == '-') name.pop_back();
  return name;
}

}  // namespace

std::string WidgetActions::ScreenshotName(const char* size) const {
  const ui::frmMain& form = view_.Form();
  std::string name;
  const auto& buttons = form.pageBar.Buttons();
  if (form.currentPage >= 0 && static_cast<size_t>(form.currentPage) < buttons.size()) {
    name = EnglishName(buttons[static_cast<size_t>(form.currentPage)].tag);
    const auto& strip = form.pages[static_cast<size_t>(form.currentPage)];
    if (strip.tabs.size() > 1 && strip.selected >= 0 && static_cast<size_t>(strip.selected) < strip.tabs.size()) {
      const std::string tab = EnglishName(strip.tabs[static_cast<size_t>(strip.selected)].tag);
      if (!tab.empty() && tab != name) name += "-" + tab;
    }
  }
  if (name.empty()) name = "window";
  return name + (ui::LanguageOffset() == ui::kEnglishOffset ? "-en-" : "-de-") + size + ".png";
}

void WidgetActions::Screenshot() const {
  if (screenshotFolder_.empty()) return;
  // The window at a small and at a large size, then back at its own.
  const QSize own = view_.size();
  for (const auto& [size, pixels] : {std::pair<const char*, QSize>{"small", {640, 480}}, {"large", {1280, 800}}}) {
    view_.resize(pixels);
    QApplication::processEvents();
    const std::string name = ScreenshotName(size);
    if (!view_.grab().save(Q(screenshotFolder_ + "/" + name))) {
      throw base::Error(base::err::kFileNotFound, "Window", "the picture " + name + " cannot be written to " + screenshotFolder_);
    }
  }
  view_.resize(own);
  QApplication::processEvents();
}

void WidgetActions::Menu(const std::string& tool) {
  if (QAction* action = view_.ToolAction(tool)) {
    action->trigger();
  } else {
    view_.RunTool(tool);  // a tool of a band the menu bar does not show (the Logger)
  }
  Screenshot();
}

void WidgetActions::Page(const std::string& key) {
  if (QAction* action = view_.PageAction(key)) action->trigger();
  Screenshot();
}

void WidgetActions::Tab(const std::string& key) {
  const int index = view_.TabIndex(key);
  if (index >= 0 && index != view_.Tabs()->currentIndex()) {
    view_.Tabs()->setCurrentIndex(index);
  } else if (index >= 0) {
    view_.RunTab(key);  // the tab is already the current one: a click shows it again
  }
  Screenshot();
}

void WidgetActions::Type(TextBox& box, const std::string& text) {
  QWidget& edit = Widget(box);
  QFocusEvent in(QEvent::FocusIn);
  QApplication::sendEvent(&edit, &in);
  QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
  QApplication::sendEvent(&edit, &selectAll);
  const QString typed = QString::fromStdString(text);
  for (const QChar character : typed) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
    QApplication::sendEvent(&edit, &key);
  }
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(&edit, &out);
}

void WidgetActions::Pick(ComboBox& combo, int32_t position) {
  auto& widget = static_cast<QComboBox&>(Widget(combo));
  widget.setCurrentIndex(position);
  emit widget.activated(position);
}

void WidgetActions::Click(ValueControl& control) { static_cast<QAbstractButton&>(Widget(control)).click(); }

void WidgetActions::Button(const std::string& which) { view_.Button(which)->click(); }

void WidgetActions::Key(int16_t keyCode) {
  // Enter and Escape are the window's shortcuts, F1 its help key.
  const QKeySequence shortcut = keyCode == kEnter ? QKeySequence(Qt::Key_Return)
                                : keyCode == kEscape ? QKeySequence(Qt::Key_Escape)
                                                     : QKeySequence();
  if (keyCode == kF1) {
    emit view_.HelpKey()->activated();
  } else if (!shortcut.isEmpty()) {
    for (auto* candidate : view_.findChildren<QShortcut*>()) {
      if (candidate->key() == shortcut) emit candidate->activated();
    }
  } else {
    view_.PressKey(keyCode);
  }
}

}  // namespace platform::qt
