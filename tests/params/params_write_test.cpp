// Writing the parameter set to LNS: order, log lines, the transaction, all-or-nothing on the
// embedded server (also when the process dies), and writing onto another device.

#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "demo_profile/demo_window.h"
#include "params/params.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/sqlite_db.h"
#include "lns/lns_errors.h"
#include "platform/ini/profile_ini_file.h"
#include "support/demo_network.h"
#include "support/fake_cp.h"
#include "support/fakes.h"
#include "support/recording_log.h"

using ::testing::ElementsAre;
using testing_support::NamedCp;
using Bytes = std::vector<uint8_t>;

namespace {

std::string Raw(const std::shared_ptr<lns::ConfigProperty>& cp) {
  cp->SetValueFormat("RAW");
  return cp->Value();
}

// A System that records the transaction calls and can refuse to start one.
class RecordingSystem final : public lns::System {
 public:
  lns::ObjectPtr Parent() const override { return nullptr; }
  std::string Name() const override { return "S"; }
  std::shared_ptr<lns::SubsystemCollection> Subsystems() override { return nullptr; }
  void StartTransaction() override {
    calls.push_back("start");
    if (refuse) throw base::Error(4010, "LNS", "busy");
  }
  void CommitTransaction() override { calls.push_back("commit"); }
  void CancelTransaction() override { calls.push_back("cancel"); }
  bool InTransaction() const override { return false; }
  void BeginBatch(int32_t) override {}
  void EndBatch() override {}
  void PrepareMonitoring(int32_t) override {}
  std::vector<std::string> calls;
  bool refuse = false;
};

TEST(ParamsWriteTest, KindOrderLogLinesAndTheTransaction) {
  for (bool refuse : {false, true}) {
    testing_support::RecordingLog log;
    params::cParams set;
    auto system = std::make_shared<RecordingSystem>();
    system->refuse = refuse;
    set.SetSystem(system);
    std::vector<std::string> written;
    auto track = [&](const std::string& name) {
      auto cp = NamedCp(name, {0, 0, 0, 0});
      return cp;
    };
    auto ascii = set.AddAsciiParameter("Text", track("CpA"), "A");
    auto text = set.AddTextBoxParameter("Box", std::make_shared<ui::window::TextBox>("t"), track("CpT"), "T");
    auto one = set.Add1ByteParameter("One", track("Cp1"), "1");
    auto skipped = set.Add1ByteParameter("Skipped", track("CpS"), "S");
    skipped->SetDontWriteToLns(true);
    one->SetValue(7);
    ascii->SetValue("ab");
    text->SetValue(5);
    set.WriteToLns(true);
    EXPECT_EQ(std::static_pointer_cast<testing_support::FakeCp>(one->ConfigProperty())->Bytes(), (Bytes{7, 0, 0, 0}));
    EXPECT_EQ(std::static_pointer_cast<testing_support::FakeCp>(skipped->ConfigProperty())->valueWrites, 0);
    // The heading in black, then each CP name in green, as the set answers them.
    const auto first = std::find(log.lines.begin(), log.lines.end(), "The following config properties will be written:  ");
    ASSERT_NE(first, log.lines.end());
    EXPECT_THAT(std::vector<std::string>(first + 1, first + 4), ElementsAre("    - Cp1", "    - CpT", "    - CpA"));
    // Without a transaction the writes still happen, no commit is tried, and it is no error.
    const std::vector<std::string> expected = refuse ? std::vector<std::string>{"start"}
                                                     : std::vector<std::string>{"start", "commit"};
    EXPECT_EQ(system->calls, expected);
    EXPECT_TRUE(log.redLines.empty());
  }
}

TEST(ParamsWriteTest, ExternalParametersShareTheirBufferWhichIsWrittenOnceAfterThem) {
  params::cParams set;
  auto cp = NamedCp("Shared", {0, 0, 0, 0});
  auto buffer = set.AddConfigProp("Shared", cp, "Shared");
  buffer->SetWriteToLnsIfRequiredOnly(true);
  set.ReadFromLns();
  auto text = set.AddTextBoxParameterExtCp("Box", std::make_shared<ui::window::TextBox>("t"), buffer);
  text->ConsiderPartOfCpOnly(1, 2);
  auto combo = set.AddComboBoxParameterExtCp("Combo", std::make_shared<ui::window::ComboBox>("c"), buffer);
  combo->ConsiderPartOfCpOnly(4, 1);
  text->SetValue(0x0102);
  combo->SetValue(9);
  set.WriteToLns();
  EXPECT_EQ(cp->Bytes(), (Bytes{1, 2, 0, 9}));
  EXPECT_EQ(cp->rawWrites, 1);
  set.WriteToLns();  // nothing changed: the buffer is not written again
  EXPECT_EQ(cp->rawWrites, 1);
}

// Every kind of the demo window written in one transaction; a device that stops answering in
// the middle leaves all CPs as they were.
TEST(ParamsWriteTest, AWriteThatFailsInTheMiddleChangesNothing) {
  testing_support::RecordingLog log;
  testing_support::DemoNetwork demo;
  demo_profile::DemoWindow window;
  window.Bind(demo.Device(), demo.Object());
  window.Parameters().SetSystem(demo.System());
  window.Parameters().ReadFromLns();
  window.cboStartDelay->UserSelect(3);
  window.txtHoldTime->UserSelectAll();
  window.txtHoldTime->UserType("9");
  int writes = 0;
  auto db = demo.Server()->Database("Demo");
  db->SetBeforeWriteHook([&](int64_t device) {
    if (++writes == 3) db->SetDeviceReachable(device, false);
  });
  window.Parameters().WriteToLns();
  db->SetBeforeWriteHook(nullptr);
  auto other = testing_support::DemoNetwork::Reopen(demo);
  EXPECT_EQ(Raw(other->DeviceCp(2)), "0\t10\t0\t20");
  EXPECT_EQ(Raw(other->ObjectCp(2)), "1\t244");
  EXPECT_FALSE(log.redLines.empty());  // the refused writes and the rolled-back commit are logged

  db->SetDeviceReachable(demo.Device()->Index() + 1, true);
  window.Parameters().WriteToLns();
  EXPECT_EQ(Raw(other->DeviceCp(2)), "0\t50\t0\t20");
  EXPECT_EQ(Raw(other->ObjectCp(2)), "0\t90");
}

// The demo window's whole set, three parameters changed, written in one transaction;
// `arm` runs just before the write.
void ChangeAndWrite(const testing_support::DemoNetwork& net, const std::function<void()>& arm) {
  demo_profile::DemoWindow window;
  window.Bind(net.Device(), net.Object());
  window.Parameters().SetSystem(net.System());
  window.Parameters().ReadFromLns();
  window.cboStartDelay->UserSelect(0);
  window.optMaxSendTime[0]->UserClick();
  window.txtHoldTime->UserSelectAll();
  window.txtHoldTime->UserType("9");
  arm();
  window.Parameters().WriteToLns();
  platform::lns_embedded::SetSqliteCallHook(nullptr);
}

std::string DatabaseFile(const testing_support::DemoNetwork& net) { return (net.Dir() / "lns" / "Demo.db").string(); }

std::string IntegrityCheck(const std::string& file) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    result = sqlite3_step(stmt) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)) : "no answer";
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return result;
}

// Fails (or kills the process at) the n-th SQLite call from the time it is armed.
void ArmFault(int n, bool kill) {
  platform::lns_embedded::SetSqliteCallHook([n, kill, calls = 0](std::string_view) mutable {
    if (++calls != n) return;
    if (kill) ::_exit(0);
    throw base::Error(lns::err::kDatabase, "LNS", "disk I/O error");
  });
}

// Every SQLite call of a whole-set write in turn fails, or the process dies there: the
// database checks clean and holds all old or all new values.
TEST(ParamsWriteTest, AFailureOrDeathAtAnyDatabaseCallOfAWriteLeavesAllOldOrAllNew) {
  testing_support::DemoNetwork counted;
  const std::string before = platform::lns_embedded::ExportNetwork(DatabaseFile(counted));
  int calls = 0;
  ChangeAndWrite(counted, [&] { platform::lns_embedded::SetSqliteCallHook([&](std::string_view) { ++calls; }); });
  const std::string after = platform::lns_embedded::ExportNetwork(DatabaseFile(counted));
  ASSERT_NE(before, after);
  ASSERT_GT(calls, 5);

  for (int n = 1; n <= calls; ++n) {
    for (bool kill : {false, true}) {
      SCOPED_TRACE("call " + std::to_string(n) + (kill ? ", killed" : ", failed"));
      testing_support::DemoNetwork demo;
      if (kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          ChangeAndWrite(demo, [&] { ArmFault(n, true); });
          ::_exit(1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      } else {
        testing_support::RecordingLog log;
        try {
          ChangeAndWrite(demo, [&] { ArmFault(n, false); });
        } catch (const base::Error&) {
          platform::lns_embedded::SetSqliteCallHook(nullptr);  // reported to the caller: fine
        }
      }
      const std::string now = platform::lns_embedded::ExportNetwork(DatabaseFile(demo));
      EXPECT_TRUE(now == before || now == after);
      EXPECT_EQ(IntegrityCheck(DatabaseFile(demo)), "ok");
    }
  }
}

TEST(ParamsWriteTest, WritingOntoAnotherDeviceFindsEachCpByItsIniName) {
  testing_support::RecordingLog log;  // a CP position past the end goes to the error operation
  testing_support::DemoNetwork demo;
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "PortaB.ini", "[CPs ]\nHoldTime=2\nDeviceOptions=2,0\nMissing=9\n");
  platform::ini::ProfileIniFile ini((dir / "PortaB.ini").string());
  testing_support::Records records;
  testing_support::RecordingDialogs dialogs(records);
  params::cParams set;
  set.SetSystem(demo.System());
  set.SetUserInterface(&dialogs, "Switch 1 / Omnal 1");
  auto hold = set.Add2ByteParameter("Hold", demo.ObjectCp(2), "HoldTime");
  auto missing = set.Add1ByteParameter("Gone", demo.ObjectCp(1), "Missing");
  std::vector<std::string> missed;
  set.MissingCp.Connect([&](const std::string& name, const std::string&) { missed.push_back(name); });
  hold->SetValue(0x0203);
  auto second = demo.System()->Subsystems()->Item(1)->AppDevices()->ItemByName("Switch 2");
  auto secondObject = second->Interface()->LonMarkObjects()->Item(1);
  EXPECT_TRUE(set.WriteToLnsLmo(secondObject, ini, "CPs "));
  EXPECT_EQ(Raw(secondObject->ConfigProperties()->Item(2)), "2\t3");
  EXPECT_EQ(Raw(demo.ObjectCp(2)), "1\t244");  // its own CP is untouched
  EXPECT_EQ(hold->ConfigProperty()->Name(), "HoldTime");
  EXPECT_THAT(missed, ElementsAre("Gone"));
  (void)missing;

  // CP buffers go to the CP at the same place of the other device.
  auto buffer = set.AddConfigProp("Options", demo.DeviceCp(2), "DeviceOptions");
  set.ReadFromLns();
  buffer->SetByteValue(4, 77);
  EXPECT_TRUE(set.WriteExtCpsToLnsDevEx(second));
  EXPECT_EQ(Raw(second->Interface()->ConfigProperties()->Item(2)), "0\t10\t0\t77");
  EXPECT_TRUE(records.messages.empty());
}

TEST(ParamsWriteTest, AnUnexpectedErrorShowsTheGermanBox) {
  testing_support::DemoNetwork demo;
  testing_support::Records records;
  testing_support::RecordingDialogs dialogs(records);
  params::cParams set;
  set.SetUserInterface(&dialogs, "T");
  auto buffer = set.AddConfigProp("Options", demo.DeviceCp(2), "DeviceOptions");
  auto sensor = demo.System()->Subsystems()->Item(1)->AppDevices()->ItemByName("Sensor 2");
  EXPECT_FALSE(set.WriteExtCpsToLnsDevEx(sensor));  // the sensor has no CP there: the box, and false
  ASSERT_EQ(records.messages.size(), 1u);
  EXPECT_THAT(records.messages[0].text, ::testing::StartsWith("Fehler in GetNewCpDev !!!\r\nNummer : "));
  EXPECT_THAT(records.messages[0].text, ::testing::HasSubstr("\r\nBeschreibung : "));
  EXPECT_THAT(records.messages[0].text, ::testing::EndsWith("\r\nZeile : 0\r\nConfigProperty : DeviceOptions"));
  EXPECT_EQ(records.messages[0].icon, services::dialogs::Icon::Critical);
  (void)buffer;
}

}  // namespace
