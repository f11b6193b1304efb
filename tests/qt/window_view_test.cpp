// The Qt window on the demo object, driven through its widgets as a user would.

#include "platform/qt/window_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdlib>
#include <thread>

#include "base/error.h"
#include "demo_profile/demo_window.h"
#include "lns/lns_errors.h"
#include "platform/dialogs/console_dialogs.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/qt/qt_components.h"
#include "platform/qt/qt_dialogs.h"
#include "support/main_window_run.h"
#include "support/matchers.h"
#include "support/temp_dir.h"
#include "ui/tabs.h"

namespace {

std::string Raw(const std::shared_ptr<lns::ConfigProperty>& cp) {
  cp->SetValueFormat("RAW");
  return cp->Value();
}

class WindowViewTest : public ::testing::Test, protected testing_support::MainWindowRun {
 protected:
  WindowViewTest() {
    controls.Place(form);
    log.logBox = &form.logBox;
    window->PageButtonClick("1");
    view = std::make_unique<platform::qt::WindowView>(*window);
    view->show();
  }

  template <typename W>
  W& WidgetOf(const ui::window::ValueControl& control) {
    auto* widget = dynamic_cast<W*>(view->WidgetOf(control));
    if (widget == nullptr) throw std::runtime_error("no widget of that kind");
    return *widget;
  }

  // Types into a text box as a user does: focus in, select all, keys, focus out.
  void TypeInto(QLineEdit& edit, const QString& text) {
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(&edit, &in);
    QKeyEvent all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
    QApplication::sendEvent(&edit, &all);
    for (const QChar c : text) {
      QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(&edit, &key);
    }
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&edit, &out);
  }

  // The window's keyboard shortcut for `key`, pressed.
  void PressShortcut(Qt::Key key) {
    for (auto* shortcut : view->findChildren<QShortcut*>()) {
      if (shortcut->key() == QKeySequence(key)) emit shortcut->activated();
    }
  }

  std::unique_ptr<platform::qt::WindowView> view;
};

// Keys pass the model's filter, clicks reach the parameters; Apply writes while busy, OK writes and closes.
TEST_F(WindowViewTest, EditsOfEachKindReachTheModelAndApplyAndOkWriteTheDevice) {
  auto& hold = WidgetOf<QLineEdit>(*controls.txtHoldTime);
  EXPECT_EQ(hold.text(), "50.0");
  EXPECT_FALSE(view->Button("apply")->isEnabled());
  {
    testing_support::ScopedEnv german{{"LC_ALL", "de_DE.UTF-8"}};  // the window shows the comma
    TypeInto(hold, "12.5");
    EXPECT_EQ(hold.text(), "12,5");
  }
  TypeInto(hold, "12x,34");  // the number filter drops the letter; a comma is the decimal point
  EXPECT_EQ(std::tuple(controls.txtHoldTime->Text(), hold.text().toStdString()), std::tuple("12.3", "12.3"));
  EXPECT_TRUE(view->Button("apply")->isEnabled());
  std::vector<bool> enabled;  // while the write runs, the window is disabled
  form.StateChanged.Connect([&] { enabled.push_back(view->isEnabled()); });
  view->Button("apply")->click();
  EXPECT_THAT(enabled, ::testing::Contains(false));
  EXPECT_TRUE(view->isEnabled());
  EXPECT_EQ(Raw(run.demo.ObjectCp(2)), "0\t123");
  EXPECT_FALSE(view->Button("apply")->isEnabled());
  EXPECT_THAT(view->findChild<QLabel*>("lastTransfer")->text().toStdString(),
              ::testing::MatchesRegex("Last written to the device: [0-9]{2}:[0-9]{2}:[0-9]{2}"));

  auto& delay = WidgetOf<QComboBox>(*controls.cboStartDelay);
  delay.setCurrentIndex(3);
  emit delay.activated(3);
  EXPECT_EQ(controls.cboStartDelay->ListIndex(), 3);
  auto& stage = WidgetOf<QCheckBox>(*controls.chkSecondStage);
  stage.click();
  EXPECT_EQ(std::tuple(controls.chkSecondStage->Value(), stage.checkState()), std::tuple(0, Qt::Unchecked));
  auto& thirty = WidgetOf<QRadioButton>(*controls.optMaxSendTime[2]);
  auto& five = WidgetOf<QRadioButton>(*controls.optMaxSendTime[1]);
  EXPECT_TRUE(five.isChecked());
  thirty.click();
  EXPECT_TRUE(thirty.isChecked());
  EXPECT_FALSE(five.isChecked());  // the model's option group cleared it
  PressShortcut(Qt::Key_Return);  // Enter applies
  EXPECT_EQ(Raw(run.demo.DeviceCp(2)), "0\t50\t0\t0");
  EXPECT_EQ(view->Log()->findItems("    - DeviceOptions", Qt::MatchExactly).size(), 2);  // the CPs of both writes
  EXPECT_EQ(std::make_pair(ended, view->Button("apply")->text().toStdString()), std::make_pair(0, std::string("&Apply")));
  PressShortcut(Qt::Key_Escape);  // Escape cancels: nothing left to apply, the window closes
  EXPECT_EQ(std::tuple(ended, form.unloaded, view->isVisible()), std::tuple(1, true, false));
}

TEST_F(WindowViewTest, PagesAndTabsShowTheirSubPagesAndTheLockModesLook) {
  // A text box shows its unit beside the field and its range as its hint; the header line
  // shows where the window is once the model has one.
  auto& hold = WidgetOf<QLineEdit>(*controls.txtHoldTime);
  EXPECT_EQ(std::make_pair(hold.parentWidget()->findChild<QLabel*>("unit")->text(), hold.toolTip()),
            std::make_pair(QString("s"), QString::fromUtf8("0.0 s \u2026 600.0 s")));
  EXPECT_TRUE(view->Header()->isHidden());
  form.headerLine = "Demo / System.Floor 1 / Switch 1 / Omnal 1   function profile 3   knowledge base version 1";
  view->Refresh();
  EXPECT_EQ(std::make_pair(view->Header()->isVisibleTo(view.get()), view->Header()->text().toStdString()),
            std::make_pair(true, form.headerLine));
  view->PageAction("4")->trigger();  // no controls on the Controlling page of this object
  const auto nothing = view->findChildren<QLabel*>("nothing");
  EXPECT_EQ(std::count_if(nothing.begin(), nothing.end(),
                          [&](QLabel* label) {
                            return label->isVisibleTo(view.get()) &&
                                   label->text() == "Nothing to show for this object on this page.";
                          }),
            1);
  view->PageAction("1")->trigger();
  // A value the device did not take carries a mark whose hint says why.
  controls.chkSecondStage->SetProblem("not written: the device is not accessible");
  auto* problem = WidgetOf<QCheckBox>(*controls.chkSecondStage).parentWidget()->findChild<QLabel*>("problem");
  EXPECT_EQ(std::pair(problem->isVisibleTo(view.get()), problem->toolTip()),
            std::pair(true, QString("not written: the device is not accessible")));
  auto& brightness = WidgetOf<QLineEdit>(*controls.txtBrightness);
  EXPECT_FALSE(brightness.isEnabled());  // no CP on the device: locked and grey
  EXPECT_EQ(brightness.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
  EXPECT_TRUE(WidgetOf<QComboBox>(*controls.cboStartDelay).isVisibleTo(view.get()));
  EXPECT_FALSE(WidgetOf<QLineEdit>(*controls.txtHoldTime).isVisibleTo(view.get()));
  view->PageAction("2")->trigger();
  EXPECT_EQ(form.currentPage, 1);
  EXPECT_TRUE(WidgetOf<QLineEdit>(*controls.txtHoldTime).isVisibleTo(view.get()));
  EXPECT_EQ(view->Tabs()->count(), 1);
  view->PageAction("1")->trigger();
  ASSERT_EQ(view->Tabs()->count(), 3);
  view->Tabs()->setCurrentIndex(1);  // a click, a key or the wheel
  EXPECT_EQ(form.currentSubPage, 2);
  EXPECT_TRUE(WidgetOf<QRadioButton>(*controls.optMaxSendTime[0]).isVisibleTo(view.get()));
  // F1 asks for the help of the sub-page shown.
  emit view->HelpKey()->activated();
  EXPECT_EQ(topics, std::vector<int32_t>{1002});
  // The Logger tab shows the log box, an error line in red.
  form.logBox.AddLine("Writing failed", ui::window::colours::kRed, false);
  view->Tabs()->setCurrentIndex(2);
  EXPECT_EQ(form.currentSubPage, 7);
  ASSERT_EQ(std::tuple(view->Log()->isVisibleTo(view.get()), view->Log()->count()), std::tuple(true, 1));
  EXPECT_EQ(std::tuple(view->Log()->item(0)->text(), view->Log()->item(0)->foreground().color()),
            std::tuple("Writing failed", QColor(255, 0, 0)));
  // Tabs hidden and shown around the selected one: the strip keeps showing that tab.
  view->Tabs()->setCurrentIndex(1);
  const QString selected = view->Tabs()->tabText(1);
  ui::cTabStrips strips;
  auto& strip = strips.Add(form.pages[0]);
  const std::pair<std::function<void()>, int> changes[] = {{[&] { strip.Tabs().HideTabByKeyNo(1); }, 2},
                                                           {[&] { strip.Tabs().ShowTabByKeyNo(1); }, 3},
                                                           {[&] { strip.ShowTabs({2, 7}); }, 2}};
  for (const auto& [change, count] : changes) {
    change();
    view->Refresh();
    ASSERT_EQ(view->Tabs()->count(), count);
    EXPECT_EQ(view->Tabs()->tabText(view->Tabs()->currentIndex()), selected);
  }
}

// The Monitoring page shows the object's monitor points; a value another program writes to an
// NV appears while the event loop runs, woken by the object server, not by a timer.
TEST_F(WindowViewTest, TheMonitoringPageShowsAValueWrittenFromOutside) {
  view->PageAction("3")->trigger();
  QTableWidget* table = view->MonitorTable();
  ASSERT_TRUE(table != nullptr && table->isVisibleTo(view.get()));
  ASSERT_EQ(table->rowCount(), 5);
  EXPECT_EQ(std::pair(table->item(0, 0)->text(), table->item(0, 1)->text()), std::pair(QString("nviPrimeValue"), QString("0.0 0")));
  EXPECT_EQ(view->findChild<QTimer*>("monitorPoll"), nullptr);
  const auto outside = testing_support::DemoNetwork::Reopen(run.demo);
  outside->Object()->NetworkVariables()->ItemByName("nviPrimeValue")->SetValue("50.0 1");
  for (int i = 0; i < 500 && table->item(0, 1)->text() != "50.0 1"; ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(table->item(0, 1)->text(), "50.0 1");
  view->MonitorPause()->click();
  EXPECT_EQ(std::pair(view->findChild<QLabel*>("monitorState")->text(), view->MonitorPause()->text()),
            std::pair(QString("Paused: the values stay as they are."), QString("&Resume")));
}

// With the network on a server that restarts (its own server: tests/CMakeLists.txt), the
// Monitoring page stays usable while the server is away and shows a value written from outside
// once it is back.
TEST_F(WindowViewTest, TheMonitoringPageFollowsTheServerThroughARestart) {
  const char* control = std::getenv("PORTAB_TEST_SERVER_CONTROL");
  if (std::getenv("PORTAB_TEST_DEMO_ON_SERVER") == nullptr || control == nullptr) {
    GTEST_SKIP() << "runs on a server of its own that it restarts (ctest WindowOnARestartedServer)";
  }
  view->PageAction("3")->trigger();
  QTableWidget* table = view->MonitorTable();
  ASSERT_TRUE(table != nullptr && table->isVisibleTo(view.get()));
  const auto until = [&](const QString& value, int seconds) {
    for (int i = 0; i < seconds * 100 && table->item(0, 1)->text() != value; ++i) {
      QApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return table->item(0, 1)->text();
  };
  ASSERT_EQ(std::system((std::string(control) + " stop").c_str()), 0);
  for (int i = 0; i < 50; ++i) {  // the event loop goes on while the server is away
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(std::system((std::string(control) + " start").c_str()), 0);
  const auto outside = testing_support::DemoNetwork::Reopen(run.demo);
  outside->Object()->NetworkVariables()->ItemByName("nviPrimeValue")->SetValue("75.0 1");
  EXPECT_EQ(until("75.0 1", 15), "75.0 1");
}

// The devices of a network, silent: a request posts an event to `window` and waits until the
// window handled it (or 2 s), then does not answer. What happened, in order, is recorded.
class HeldSilentLink final : public platform::lns_embedded::DeviceLink,
                             public std::enable_shared_from_this<HeldSilentLink> {
 public:
  explicit HeldSilentLink(QObject* window) : window_(window) {}
  std::string InterfaceName() const override { return "held"; }
  std::function<void()> StatusCheck(int64_t) override {
    return [self = shared_from_this()] { self->Ask(); };
  }
  std::function<std::vector<uint8_t>()> NvFetch(int64_t, int32_t, const std::string&) override {
    return [self = shared_from_this()]() -> std::vector<uint8_t> { self->Ask(); };
  }
  std::function<void()> NvUpdate(int64_t, int32_t, std::vector<uint8_t>, const std::string&) override {
    return [self = shared_from_this()] { self->Ask(); };
  }
  std::vector<std::string> Events() {
    const std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  [[noreturn]] void Ask() {
    std::unique_lock lock(mutex_);
    events_.push_back("device asked");
    handled_ = false;
    QMetaObject::invokeMethod(
        window_,
        [self = shared_from_this()] {
          const std::lock_guard held(self->mutex_);
          self->events_.push_back("window event handled");
          self->handled_ = true;
          self->changed_.notify_all();
        },
        Qt::QueuedConnection);
    const bool handled = changed_.wait_for(lock, std::chrono::seconds(2), [this] { return handled_; });
    events_.push_back(handled ? "device silent" : "device silent, the window never came");
    throw base::Error(lns::err::kDeviceNotAccessible, "LNS", "device \"Switch 1\" did not answer (on held)");
  }
  QObject* window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  bool handled_ = false;
};

// A device that does not answer never stops the window: with the Monitoring page shown, an event
// posted to the window while the device is being asked is handled before the device gives up;
// the device is asked once for all five points, and then every row says that it did not answer.
TEST_F(WindowViewTest, ASilentDeviceIsAskedAwayFromTheWindowOnceForAllItsPoints) {
  auto link = std::make_shared<HeldSilentLink>(view.get());
  run.demo.Server()->Database("Demo")->SetDeviceLink(link);
  view->PageAction("3")->trigger();
  QTableWidget* table = view->MonitorTable();
  const auto allFailed = [&] {
    for (int row = 0; row < table->rowCount(); ++row) {
      if (table->item(row, 1)->foreground().color() != QColor(Qt::red)) return false;
    }
    return table->rowCount() == 5;
  };
  for (int i = 0; i < 500 && !allFailed(); ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_THAT(link->Events(), ::testing::ElementsAre("device asked", "window event handled", "device silent"));
  EXPECT_TRUE(allFailed());
  // A request the window waits for (the device check, a write) runs away from it as well.
  const auto db = run.demo.Server()->Database("Demo");
  EXPECT_THAT([&] { db->RequireReachable(platform::lns_embedded::RowIdOf(*run.demo.Device())); },
              testing_support::ThrowsError(lns::err::kDeviceNotAccessible));
  EXPECT_THAT([&] { run.demo.Object()->NetworkVariables()->ItemByName("nviPrimeValue")->SetValue("50.0 1"); },
              testing_support::ThrowsError(lns::err::kDeviceNotAccessible));
  EXPECT_THAT(link->Events(), ::testing::ElementsAre("device asked", "window event handled", "device silent",
                                                     "device asked", "window event handled", "device silent",
                                                     "device asked", "window event handled", "device silent"));
  db->SetDeviceLink(nullptr);
}

TEST(QtDialogsTest, AMessageBoxHasTheIconTitleButtonsAndDefaultButtonAsked) {
  using namespace services::dialogs;
  const auto box = platform::qt::BuildMessageBox(
      {"Save the changes?\r\nThey are lost otherwise.", "Switch 1", Icon::Question, Buttons::YesNoCancel, 2});
  EXPECT_EQ(std::tuple(box->icon(), box->windowTitle(), box->text()),
            std::tuple(QMessageBox::Question, "Switch 1", "Save the changes?\nThey are lost otherwise."));
  EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
  EXPECT_EQ(platform::qt::AnswerOf(QMessageBox::No), Answer::No);
  // The About box: the mark beside the lines (the server's among them), the strip below.
  const auto about = platform::qt::BuildAboutBox(
      {"About", {"velta Porta (1.0.0)", "portab embedded LNS object server"},
       {PORTAB_DATA_DIR "/Pictures/103.png", PORTAB_DATA_DIR "/Pictures/104.png"}, {"Made by velta", "", ""}});
  EXPECT_EQ(std::pair(about->findChild<QLabel*>("lines")->text(), about->findChild<QLabel*>("makerLines")->text()),
            std::pair(QString("velta Porta (1.0.0)\nportab embedded LNS object server"), QString("Made by velta")));
  EXPECT_FALSE(about->findChild<QLabel*>("mark")->pixmap().isNull());
  EXPECT_FALSE(about->findChild<QLabel*>("strip")->pixmap().isNull());
  // "*.*" is every file, also one without a dot.
  EXPECT_EQ(platform::qt::QtFileFilter("Data (*.dat)|*.dat|All (*.*)|*.*"), "Data (*.dat);;All (*)");
}

// On a display, message boxes are Qt's unless PORTAB_ANSWERS gives the answers.
TEST(QtComponentsTest, DialogsAreQtUnlessTheAnswersAreGiven) {
  platform::qt::QtComponentFactory factory;
  ::unsetenv("PORTAB_ANSWERS");
  EXPECT_NE(dynamic_cast<platform::qt::QtDialogs*>(factory.CreateDialogs().get()), nullptr);
  ::setenv("PORTAB_ANSWERS", "Yes", 1);
  EXPECT_NE(dynamic_cast<platform::dialogs::ConsoleDialogs*>(factory.CreateDialogs().get()), nullptr);
  ::unsetenv("PORTAB_ANSWERS");
}

}  // namespace
