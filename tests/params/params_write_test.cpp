// Writing the set to LNS: order, log lines, the transaction, all-or-nothing, and onto another device.

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

// What a write takes, in the kinds' order, each CP logged once; a refused transaction still writes, no commit.
TEST(ParamsWriteTest, KindOrderCpNamesLogLinesAndTheTransaction) {
  for (bool refuse : {false, true}) {
    testing_support::RecordingLog log;
    params::cParams set;
    auto system = std::make_shared<RecordingSystem>();
    system->refuse = refuse;
    set.SetSystem(system);
    auto shared = NamedCp("SharedCp", {0, 0, 0, 0});
    set.AddAsciiParameter("Ascii", shared, "S")->SetValue("ab");
    set.AddTextBoxParameter("Text", std::make_shared<ui::window::TextBox>("t"), NamedCp("TextCp"), "T");
    set.AddOptionButtonParameter("Options", NamedCp("OptionCp"), "O")->SetValue("0\t1");
    auto combo = set.AddComboBoxParameter("Combo", std::make_shared<ui::window::ComboBox>("c"), shared, "S");
    combo->SetWriteToLnsIfRequiredOnly(true);  // equal to the last value: not listed
    set.AddCheckBoxParameter("Check", std::make_shared<ui::window::CheckBox>("c"), shared, "S");
    set.Add2ByteParameter("Two", shared, "S");
    auto oneCp = NamedCp("OneCp", {0, 0, 0, 0});
    set.Add1ByteParameter("One", oneCp, "1")->SetValue(7);
    auto skippedCp = NamedCp("SkippedCp");
    set.Add1ByteParameter("Skipped", skippedCp, "K")->SetDontWriteToLns(true);
    set.Add1ByteParameter("Missing", nullptr, "M");
    set.Add1ByteParameterExtCp("OnBuffer", set.AddConfigProp("Buf", NamedCp("BufCp"), "B"));

    std::vector<std::string> names;
    for (const auto& p : set.GetAllParamsShouldBeWrittenToLns()) names.push_back(p->Name());
    EXPECT_THAT(names, ElementsAre("One", "OnBuffer", "Two", "Check", "Options", "Text", "Ascii"));
    const auto cps = set.GetAllCpNamesShouldBeWrittenToLns();
    EXPECT_THAT(std::vector<std::string>(cps.begin(), cps.end()), ElementsAre("OneCp", "BufCp", "SharedCp", "OptionCp", "TextCp"));
    EXPECT_EQ(set.GetAllCpsShouldBeWrittenToLns().Item(3), shared);

    set.WriteToLns(true);
    EXPECT_EQ(oneCp->Bytes(), (Bytes{7, 0, 0, 0}));
    EXPECT_EQ(skippedCp->valueWrites, 0);
    // The heading in black, then each CP name in green, as the set answers them.
    const auto first = std::find(log.lines.begin(), log.lines.end(), "The following config properties will be written:  ");
    ASSERT_LT(first + 5, log.lines.end());
    EXPECT_EQ(std::vector<std::string>(first + 1, first + 6),
              (std::vector<std::string>{"    - OneCp", "    - BufCp", "    - SharedCp", "    - OptionCp", "    - TextCp"}));
    EXPECT_EQ(system->calls, (refuse ? std::vector<std::string>{"start"} : std::vector<std::string>{"start", "commit"}));
    EXPECT_TRUE(log.redLines.empty());
  }
}

// A parameter that overflows stops nothing: the buffers are written after it and a red line names it.
TEST(ParamsWriteTest, ExternalParametersShareTheirBufferWhichIsWrittenOnceAfterThem) {
  testing_support::RecordingLog log;
  params::cParams set;
  auto broken = set.Add2ByteParameter("Broken", NamedCp("Other"), "O");
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
  broken->SetValue1(0x7FFFFFFF);
  set.WriteToLns();
  EXPECT_EQ(cp->Bytes(), (Bytes{1, 2, 0, 9}));
  EXPECT_EQ(cp->rawWrites, 1);
  ASSERT_EQ(log.redLines.size(), 1u);
  EXPECT_THAT(log.redLines[0], ::testing::HasSubstr("\"Broken\" was not written"));
  set.WriteToLns();  // nothing changed: the buffer is not written again
  EXPECT_EQ(cp->rawWrites, 1);
}

// The demo window's set with three changes, written in one transaction; `arm` runs just before.
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

// A part too small for the value, or a failing server: the write ends as done, with one red line that says what.
TEST(ParamsWriteTest, ARefusedOrFailedPartWriteStillEndsTheTransfer) {
  enum class Fault { TooBig, ServerDown };
  for (const Fault fault : {Fault::TooBig, Fault::ServerDown}) {
    params::cParams set;
    std::vector<std::pair<std::shared_ptr<params::IParameter>, std::function<int32_t()>>> parameters;
    auto cp = NamedCp("Options", Bytes{1, 2, 3, 4});
    const int32_t value = fault == Fault::TooBig ? 300 : 7;
    const auto prepare = [&](auto p) {
      p->SetWriteToLnsIfRequiredOnly(true);
      p->SetValue(value);
      parameters.push_back({p, [p] { return p->Value(); }});
    };
    auto one = set.Add1ByteParameter("One", cp, "Options");
    one->ConsiderPartOfCpOnly(1);
    prepare(one);
    auto combo = set.AddComboBoxParameter("Combo", nullptr, cp, "Options");
    combo->ConsiderPartOfCpOnly(2, 1);
    prepare(combo);
    auto text = set.AddTextBoxParameter("Text", nullptr, cp, "Options");
    text->ConsiderPartOfCpOnly(3, 1);
    prepare(text);
    cp->failValueWrite = fault == Fault::ServerDown;
    testing_support::RecordingLog log;
    for (const auto& [parameter, valueOf] : parameters) {
      SCOPED_TRACE(parameter->Name() + (fault == Fault::TooBig ? " too big" : " server down"));
      const size_t redBefore = log.redLines.size();
      parameter->WriteToLns();
      EXPECT_FALSE(parameter->Changed());
      EXPECT_FALSE(parameter->WritingToLnsIsRequired());
      EXPECT_EQ(valueOf(), value);
      ASSERT_EQ(log.redLines.size(), redBefore + 1);
      EXPECT_THAT(log.redLines.back(), ::testing::AllOf(::testing::HasSubstr(parameter->Name()),
                                                        ::testing::HasSubstr("Options"),
                                                        ::testing::HasSubstr(std::to_string(value))));
    }
    EXPECT_EQ(cp->Bytes(), (Bytes{1, 2, 3, 4}));
  }
}

// A device that stops answering mid-transaction leaves every CP as it was; later the write goes through.
TEST(ParamsWriteTest, AWriteThatFailsInTheMiddleChangesNothing) {
  testing_support::RecordingLog log;
  testing_support::DemoNetwork demo;
  const std::string before = platform::lns_embedded::ExportNetwork(DatabaseFile(demo));
  auto db = demo.Server()->Database("Demo");
  int writes = 0;
  ChangeAndWrite(demo, [&] {
    db->SetBeforeWriteHook([&](int64_t device) {
      if (++writes == 3) db->SetDeviceReachable(device, false);
    });
  });
  db->SetBeforeWriteHook(nullptr);
  EXPECT_FALSE(log.redLines.empty());  // the refused writes and the rolled-back commit are logged
  db->SetDeviceReachable(demo.Device()->Index() + 1, true);
  EXPECT_EQ(platform::lns_embedded::ExportNetwork(DatabaseFile(demo)), before);
  ChangeAndWrite(demo, [] {});
  EXPECT_NE(platform::lns_embedded::ExportNetwork(DatabaseFile(demo)), before);
}

// Fails (or kills the process at) the n-th SQLite call from the time it is armed.
void ArmFault(int n, bool kill) {
  platform::lns_embedded::SetSqliteCallHook([n, kill, calls = 0](std::string_view) mutable {
    if (++calls != n) return;
    if (kill) ::_exit(0);
    throw base::Error(lns::err::kDatabase, "LNS", "disk I/O error");
  });
}

// A failure or death at each SQLite call of a write in turn: the database is clean, all old or all new.
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

TEST(ParamsWriteTest, WritingOntoAnotherDeviceFindsEachCpByItsIniNameOrShowsTheGermanBox) {
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
  set.Add1ByteParameter("Gone", demo.ObjectCp(1), "Missing");
  std::vector<std::string> missed;
  set.MissingCp.Connect([&](const std::string& name, const std::string&) { missed.push_back(name); });
  hold->SetValue(0x0203);
  auto second = demo.System()->Subsystems()->Item(1)->AppDevices()->ItemByName("Switch 2");
  auto secondObject = second->Interface()->LonMarkObjects()->Item(1);
  EXPECT_TRUE(set.WriteToLnsLmo(secondObject, ini, "CPs "));  // its own CP is untouched
  EXPECT_EQ(std::tuple(Raw(secondObject->ConfigProperties()->Item(2)), Raw(demo.ObjectCp(2)), hold->ConfigProperty()->Name()),
            std::tuple("2\t3", "1\t244", "HoldTime"));
  EXPECT_THAT(missed, ElementsAre("Gone"));

  // CP buffers go to the CP at the same place of the other device.
  auto buffer = set.AddConfigProp("Options", demo.DeviceCp(2), "DeviceOptions");
  set.ReadFromLns();
  buffer->SetByteValue(4, 77);
  EXPECT_TRUE(set.WriteExtCpsToLnsDevEx(second));
  EXPECT_EQ(Raw(second->Interface()->ConfigProperties()->Item(2)), "0\t10\t0\t77");
  EXPECT_TRUE(records.messages.empty());

  // An unexpected error shows the German box, and the write answers false.
  auto sensor = demo.System()->Subsystems()->Item(1)->AppDevices()->ItemByName("Sensor 2");
  EXPECT_FALSE(set.WriteExtCpsToLnsDevEx(sensor));  // the sensor has no CP there
  ASSERT_EQ(records.messages.size(), 1u);
  EXPECT_THAT(records.messages[0].text, ::testing::StartsWith("Fehler in GetNewCpDev !!!\r\nNummer : "));
  EXPECT_THAT(records.messages[0].text, ::testing::HasSubstr("\r\nBeschreibung : "));
  EXPECT_THAT(records.messages[0].text, ::testing::EndsWith("\r\nZeile : 0\r\nConfigProperty : DeviceOptions"));
  EXPECT_EQ(records.messages[0].icon, services::dialogs::Icon::Critical);
}

}  // namespace
