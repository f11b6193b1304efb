// The demo network on real (our own) devices over LON/IP, inside the test's network namespace:
// what an engineer does with portab-lns, commands 13 and 22 through portab and the profile
// plug-in, a device that goes away in the middle of a write, and monitoring by polls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <regex>
#include <sstream>
#include <nlohmann/json.hpp>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "lns/object_names.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/sqlite_db.h"
#include "support/lon_devices.h"
#include "support/program_folder.h"

namespace {

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;
using testing_support::DeviceProcess;
using testing_support::ProgramFolder;

const std::string kSwitch1 = "Demo/System.Floor 1/Switch 1";
const std::string kSwitch2 = "Demo/System.Floor 1/Switch 2";

// The demo's devices of our own (data/demo/lonip), with nviSecValue of the first a byte longer
// on the device than in the network database.
nlohmann::json SwitchJson(int which) {
  return nlohmann::json::parse(
      testing_support::ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/lonip/switch" + std::to_string(which) + ".json"));
}
std::string SwitchDevice(int which) {
  auto device = SwitchJson(which);
  if (which == 1) device["nvs"][1]["value"] = "000000";
  return device.dump();
}

// A device entry of an export without what makes it this device: its name, address and NV values.
nlohmann::json Shape(nlohmann::json device) {
  for (const char* key : {"name", "neuronId", "subnet", "node", "ip"}) device.erase(key);
  for (auto& nv : device["nvs"]) nv.erase("value");
  return device;
}

class LonIpNetworkTest : public testing::Test {
 protected:
  void SetUp() override {
    PORTAB_PRIVATE_NETWORK_OR_SKIP();
    // The demo network with the objects' HoldTime held on the devices as the configuration NV
    // "nciHoldTime".
    home_ = std::make_unique<ProgramFolder>(true, std::string(PORTAB_DATA_DIR) + "/demo/lonip/network.json");
    for (int which : {1, 2}) devices_.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, SwitchDevice(which)));
  }
  // portab-lns, which must succeed; its standard output.
  std::string Lns(const std::vector<std::string>& args) const {
    const auto run = home_->Lns(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }
  void AttachAndCommission() {
    Lns({"interface", "add", "lon1", "lonip:127.1.1.127", "--timeout", "150", "--retries", "2"});
    Lns({"attach", "Demo", "lon1"});
    Lns({"commission", kSwitch1, "02FC00000004"});
    Lns({"commission", kSwitch2, "02FC00000005"});
  }

  std::unique_ptr<ProgramFolder> home_;
  std::vector<std::unique_ptr<DeviceProcess>> devices_;
};

TEST_F(LonIpNetworkTest, AnEngineerAttachesDiscoversCommissionsAndAsksTheDevices) {
  EXPECT_EQ(Lns({"interface", "list"}), "no interface (portab-lns interface add <name> lonip:<IPv4> adds one)\n");
  EXPECT_EQ(Lns({"interface", "add", "lon1", "lonip:127.1.1.127", "--timeout", "150", "--retries", "2"}),
            "added interface lon1 lonip:127.1.1.127, 150 ms a try, 2 retries (domain 7F0100/1/127)\n");
  EXPECT_EQ(Lns({"attach", "demo", "LON1"}), "Demo: attached to lon1 lonip:127.1.1.127, 150 ms a try, 2 retries\n");
  EXPECT_EQ(Lns({"interface", "list"}), "lon1 lonip:127.1.1.127, 150 ms a try, 2 retries; attached to Demo\n");
  const std::string found = Lns({"discover", "lon1", "--seconds", "1"});
  EXPECT_THAT(found, HasSubstr("02FC00000004 9FFFFF081C0A0401 unconfigured\n"));
  EXPECT_THAT(found, HasSubstr("02FC00000005 9FFFFF081C0A0401 unconfigured\n"));

  EXPECT_EQ(Lns({"commission", kSwitch1, "02fc00000004"}),
            "commissioned device \"Switch 1\" as 7F0100/1/4 (Neuron ID 02FC00000004, configured, online) on lon1 "
            "(lonip:127.1.1.127)\n");
  EXPECT_THAT(Lns({"status", kSwitch1}), HasSubstr("Switch 1: configured, online (7F0100/1/4, Neuron ID 02FC00000004"));
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nvoValue"}), "100.0 1\n");  // the device's value, not the database's
  EXPECT_EQ(Lns({"nv", "set", kSwitch1, "nviPrimeValue", "50.0 1"}), "50.0 1\n");
  EXPECT_EQ(Lns({"wink", kSwitch1}), "winked device \"Switch 1\" (7F0100/1/4) on lon1 (lonip:127.1.1.127)\n");
  EXPECT_THAT(Lns({"tree", "Demo"}), HasSubstr("\"Switch 1\" (class 7) template \"PortaB\" program id 9F:FF:FF:08:1C:0A:04:01 at "
                                               "7F0100/1/4 Neuron ID 02FC00000004\n"));
  EXPECT_EQ(Lns({"discover", "Demo", "--seconds", "1"}), "02FC00000005 9FFFFF081C0A0401 unconfigured\n");

  // What is refused, each naming what it is about.
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"reachable", kSwitch1, "no"}, "The state of \"Switch 1\" now comes from the device itself"},
      {{"nv", "set", kSwitch1, "nvoValue", "1.0 1"}, "NV \"nvoValue\": it is an output NV of the device on lon1"},
      {{"status", kSwitch2}, "device \"Switch 2\" is not commissioned on lon1 (lonip:127.1.1.127)"},
      {{"commission", kSwitch2, "02FC00000099"}, "Neuron ID 02FC00000099 on lon1 (lonip:127.1.1.127) did not answer Query Status"},
      {{"commission", kSwitch2, "02FC00000004"}, "Neuron ID 02FC00000004 is the device \"Switch 1\" already"},
      {{"commission", kSwitch2, "12345"}, "\"12345\" is not a Neuron ID"},
      {{"commission", "Demo/System.Floor 1/Sensor 2", "02FC00000005"},
       "The device of 02FC00000005 runs the program 9FFFFF081C0A0401, the network's \"Sensor 2\" the program 80000C503C030422"},
      {{"nv", "get", kSwitch1, "nviSecValue"}, "device \"Switch 1\", NV \"nviSecValue\": the device holds 3 bytes, the network "
                                                "database 2 (on lon1 (lonip:127.1.1.127))"},
      {{"nv", "set", kSwitch1, "nviSecValue", "1.0 1"}, "NV \"nviSecValue\": the device's NV holds 3 bytes, the value 2"},
      {{"interface", "add", "lon2", "127.1.1.126"}, "\"127.1.1.126\" is not an interface address: lonip:<IPv4>"},
      {{"interface", "add", "lon2", "lonip:127.1.1.200"}, "fourth its node (1-127)"},
      {{"interface", "add", "lon1", "lonip:127.1.1.126"}, "The interface \"lon1\" exists already"},
      {{"attach", "Demo", "lon9"}, "There is no interface \"lon9\""},
      {{"discover", "lon1", "--seconds", "x"}, "--seconds takes a whole number from 1 to 3600"},
  };
  for (const auto& [args, message] : refused) {
    const auto run = home_->Lns(args);
    EXPECT_NE(run.status, 0) << args[0];
    EXPECT_THAT(run.err, HasSubstr(message)) << args[0];
  }

  devices_[0]->Kill();  // the cable is pulled
  const auto gone = home_->Lns({"nv", "get", kSwitch1, "nvoValue"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("device \"Switch 1\" (7F0100/1/4), NV \"nvoValue\": device 7F0100/1/4 on lon1 "
                                  "(lonip:127.1.1.127) did not answer NV Fetch (no response, 3 tries of 150 ms)"));
  // A damaged interface entry is an error, never a quiet return to simulated devices.
  const auto registry = home_->Home() / "registry.reg";
  const std::string store = testing_support::ReadFile(registry);
  testing_support::WriteFile(registry, std::regex_replace(store, std::regex("lonip:127\\.1\\.1\\.127"), "lonip:999.1.1.1"));
  const auto damaged = home_->Lns({"nv", "set", kSwitch1, "nviPrimeValue", "1.0 1"});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_THAT(damaged.err, HasSubstr("The network \"Demo\" is attached to the interface \"lon1\", which cannot be used: the "
                                     "Address \"lonip:999.1.1.1\" is no interface address"));
  EXPECT_THAT(Lns({"interface", "list"}), HasSubstr("lon1: the Address \"lonip:999.1.1.1\" is no interface address"));
  EXPECT_EQ(Lns({"attach", "Demo", "none"}), "Demo: no interface; its devices are simulated\n");
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nviPrimeValue"}), "50.0 1\n");  // the value stored when it was written
  EXPECT_EQ(Lns({"interface", "remove", "lon1"}), "removed interface lon1\n");
  EXPECT_THAT(home_->Lns({"interface", "add", "bad\xff", "lonip:127.1.1.126"}).err,
              HasSubstr("The interface name cannot be kept: 1 to 64 bytes of UTF-8"));
}

TEST_F(LonIpNetworkTest, Commands13And22AskTheDeviceAndWriteItsConfigurationNvs) {
  AttachAndCommission();
  EXPECT_EQ(home_->Command(22).status, 0);
  const auto configured = home_->Configure("Switch 1", "type HoldTime 12,5\napply\n");
  EXPECT_EQ(configured.status, 0) << configured.err;
  EXPECT_EQ(Lns({"cp", "get", kSwitch1 + "/Omnal 1", "HoldTime"}), "0 125\n");
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nciHoldTime"}), "125\n");  // asked of the device
  EXPECT_EQ(Lns({"nv", "get", kSwitch2, "nciHoldTime"}), "500\n");
  // The configuration NV and the CP it holds are one value.
  EXPECT_EQ(Lns({"nv", "set", kSwitch1, "nciHoldTime", "600"}), "600\n");
  EXPECT_EQ(Lns({"cp", "get", kSwitch1 + "/Omnal 1", "HoldTime"}), "2 88\n");

  // The network interface named for the run wins over the attached one, here over none: the
  // simulated device does not answer, the real one does; "Internet" names no interface.
  Lns({"attach", "Demo", "none"});
  Lns({"reachable", kSwitch1, "no"});
  const auto run = [&](const std::string& ni) {
    return home_->Portab({"/CLASSID:28/COMMANDID:22/NI:" + ni + "/OBJECTNAME:" + testing_support::kObject}).status;
  };
  EXPECT_EQ(run("lon1"), 0);
  EXPECT_EQ(run("Internet"), 1);
  Lns({"attach", "Demo", "lon1"});

  devices_[0]->Kill();
  const auto refused = home_->Command(22);
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("--- Exclamation: Switch 1 / Omnal 1\nThe selected device is not accessible."));
}

// In one process: the object server's own transaction and monitoring on the attached network.
TEST_F(LonIpNetworkTest, ADeviceGoneInTheMiddleOfAWriteLeavesNothingWrittenAndPollsReportIt) {
  AttachAndCommission();
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(home_->Home() / "lns");
  server->Open(0);
  const auto holdTime = [&](const std::string& device) {
    auto object = std::dynamic_pointer_cast<lns::LonMarkObject>(lns::ResolveObjectName(*server, device + "/Omnal 1"));
    auto cp = object->ConfigProperties()->ItemByName("HoldTime");
    cp->SetValueFormat("RAW");
    return cp;
  };
  auto db = server->Database("Demo");
  db->StartTransaction();
  holdTime(kSwitch1)->SetValue("0\t7");
  holdTime(kSwitch2)->SetValue("0\t9");
  devices_[1]->Kill();
  try {
    db->CommitTransaction();
    ADD_FAILURE() << "the commit went through";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.Number(), lns::err::kDeviceNotAccessible);
    EXPECT_THAT(e.Description(), HasSubstr("device \"Switch 2\" (7F0100/1/5), CP \"HoldTime\""));
    EXPECT_THAT(e.Description(), HasSubstr("lon1 (lonip:127.1.1.127)"));
  }
  EXPECT_EQ(holdTime(kSwitch1)->Value(), "1\t244");  // the database as before
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nciHoldTime"}), "500\n");  // and the device put back
  // A configuration NV written in a transaction goes to the device at the commit, as its CP.
  auto configNv = std::dynamic_pointer_cast<lns::AppDevice>(lns::ResolveObjectName(*server, kSwitch1))
                      ->Interface()->NetworkVariables()->ItemByName("nciHoldTime");
  db->StartTransaction();
  configNv->SetValue("700");
  EXPECT_EQ(holdTime(kSwitch1)->Value(), "2\t188");
  db->CancelTransaction();
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nciHoldTime"}), "500\n");
  db->StartTransaction();
  configNv->SetValue("700");
  db->CommitTransaction();
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nciHoldTime"}), "700\n");
  EXPECT_EQ(holdTime(kSwitch1)->Value(), "2\t188");
  // Outside a transaction the database's write lock comes first: while another program holds
  // it, the device is not written either.
  {
    platform::lns_embedded::SqliteDb other(home_->Home() / "lns" / "Demo.db", false);
    other.Exec("BEGIN IMMEDIATE");
    db->Db().WaitForLocks(false);
    try {
      configNv->SetValue("800");
      ADD_FAILURE() << "written while another program held the network";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.Number(), lns::err::kWriteConflict) << e.Description();
    }
    db->Db().WaitForLocks(true);
    other.Exec("ROLLBACK");
  }
  EXPECT_EQ(Lns({"nv", "get", kSwitch1, "nciHoldTime"}), "700\n");

  // Monitoring: the device's value arrives through PumpEvents; a silent device is a failure.
  auto nv = lns::ResolveObjectName(*server, kSwitch1 + "/Omnal 1");
  auto prime = std::dynamic_pointer_cast<lns::LonMarkObject>(nv)->NetworkVariables()->ItemByName("nviPrimeValue");
  prime->SetEditingSettings(true);
  prime->SetPollInterval(50);
  prime->SetMonitorTag(5000);
  prime->SetEditingSettings(false);
  std::vector<std::string> updates, failures;
  server->SetNvUpdateHandler([&](int32_t tag, const std::string& value, const lns::ObjectPtr&) {
    updates.push_back(std::to_string(tag) + " " + value);
  });
  server->SetNvFailureHandler([&](int32_t tag, const std::string& error) { failures.push_back(std::to_string(tag) + " " + error); });
  const int descriptor = server->EventDescriptor();
  ASSERT_GE(descriptor, 0);
  const auto pump = [&](size_t wanted, const std::vector<std::string>& of) {
    for (int i = 0; i < 100 && of.size() < wanted; ++i) {
      pollfd ready{descriptor, POLLIN, 0};
      ::poll(&ready, 1, 100);
      server->PumpEvents();
    }
  };
  Lns({"nv", "set", kSwitch1, "nviPrimeValue", "75.0 1"});  // written to the device by another program
  pump(1, updates);
  ASSERT_FALSE(updates.empty());
  EXPECT_EQ(updates.back(), "5000 75.0 1");
  devices_[0]->Kill();
  pump(1, failures);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("5000 device \"Switch 1\" (7F0100/1/4)"));
}

// What a device tells of itself: its blocks, NVs and CPs with where it keeps them. Added from
// the device it is the device the network describes; the same program with another shape is
// refused with the differences; CP files it cannot give are named and leave its NVs usable.
TEST_F(LonIpNetworkTest, TheInterfaceReadFromADeviceIsTheDeviceTheNetworkDescribes) {
  AttachAndCommission();
  EXPECT_THAT(Lns({"device", "interface", kSwitch2}),
              AllOf(HasSubstr("block 0 (NodeObject), profile 0\n  NV 6 nvoFileDirectory output, type 114, 2 bytes"),
                    HasSubstr("  NV 4 InputValue output, type 79, 2 bytes, acknowledged, member |5: 01 F4\n"),
                    HasSubstr("file 2 read-only value file, 2 bytes at 0xA"),
                    HasSubstr("record 4: UCPT 3 (scope 1) of block 1 (Omnal), 2 bytes, constant; read-only value file at 0: 00 03\n"),
                    HasSubstr("configuration NV: UCPT 5 (scope 1) of block 1 (Omnal), 2 bytes; configuration NV 5 (nciHoldTime): 01 F4\n"),
                    HasSubstr("The network's device \"Switch 2\" has this shape.")));
  const auto interfaceJson = nlohmann::json::parse(Lns({"device", "interface", kSwitch2, "--json"}));

  const std::string floor = "Demo/System.Floor 1";
  const auto refused = home_->Lns({"device", "add", floor, "Switch 3", "--from-device", "02FC00000004"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("whose template \"PortaB\" (the device \"Switch 1\") has another shape; not added:\n"
                                     "  NV 1 \"nviSecValue\": SNVT_switch, changeable in the network, type 95 of 3 bytes, "
                                     "changeable on the device"));
  EXPECT_THAT(Lns({"device", "add", floor, "Switch 3", "--from-device", "02fc00000005"}),
              HasSubstr("added device \"Switch 3\" to Demo/System.Floor 1 from the device of Neuron ID 02FC00000005"));
  const auto exported = nlohmann::json::parse(Lns({"export", "Demo"}));
  const auto& devices = exported["subsystems"][0]["devices"];
  ASSERT_EQ(devices.size(), 4u);
  EXPECT_EQ(Shape(devices[3]), Shape(devices[2]));
  EXPECT_EQ(Shape(interfaceJson), Shape(devices[2]));
  EXPECT_EQ(devices[3]["nvs"][2]["value"], nlohmann::json::parse("[200, 1]"));  // as the device holds it
  EXPECT_EQ(devices[3]["lonMarkObjects"][1]["cps"][0],
            nlohmann::json::parse(R"({"name": "FptIndex", "elementSize": 2, "dimension": 1, "value": [0, 3],
                                      "deviceFile": "readOnly", "deviceOffset": 0, "deviceFlags": 132})"));

  // A damaged template, on the device Switch 2 is then commissioned to.
  auto damaged = SwitchJson(2);
  damaged["ip"] = "127.1.1.6";
  damaged["neuronId"] = "02FC00000006";
  damaged["templateText"] = "1.1;0,,1\\x80,1,1;0,,1\\x80,two,2,2;";
  devices_.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, damaged.dump()));
  Lns({"commission", kSwitch2, "02FC00000006"});
  const auto unread = home_->Lns({"device", "interface", kSwitch2});
  EXPECT_EQ(unread.status, 1);
  EXPECT_THAT(unread.err, HasSubstr("device \"Switch 2\" (7F0100/1/6) on lon1 (lonip:127.1.1.127): its CPs in files were "
                                    "not read: template file, record 2 \"0,,1\\x80,two,2,2\": the type index \"two\" is not a number"));
  EXPECT_THAT(unread.out, HasSubstr("NV 3 OutputValue input, type 117, 4 bytes"));
  EXPECT_EQ(Lns({"nv", "get", kSwitch2, "OutputValue"}), "1 50.0 0.00\n");

  // A device that offers its files only by file transfer.
  auto ftp = SwitchJson(2);
  ftp["ip"] = "127.1.1.7";
  ftp["neuronId"] = "02FC00000007";
  ftp.erase("cps");
  ftp["nvs"][6] = nlohmann::json::parse(R"({"name": "nviFileReq", "type": 73, "selfDoc": "@0|5", "value": "000000000000000000000000"})");
  ftp["nvs"].push_back(nlohmann::json::parse(R"({"name": "nvoFileStat", "direction": "output", "type": 74, "selfDoc": "@0|6",
                                                 "value": "000000000000000000000000000000000000000000000000000000"})"));
  devices_.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, ftp.dump()));
  const auto byTransfer = home_->Lns({"device", "add", floor, "Switch 4", "--from-device", "02FC00000007"});
  EXPECT_EQ(byTransfer.status, 1);
  EXPECT_THAT(byTransfer.err, HasSubstr("its CPs in files could not be read: this device offers its CP files only by file "
                                        "transfer, which portab does not speak yet"));
  EXPECT_EQ(nlohmann::json::parse(Lns({"export", "Demo"}))["subsystems"][0]["devices"].size(), 4u);
}

// The memory writes and changes of mode a device logged, without its start line.
std::vector<std::string> DeviceLog(const DeviceProcess& device) {
  std::vector<std::string> lines;
  std::istringstream in(device.Output());
  for (std::string line; std::getline(in, line);) {
    if (line.find(" at 127.") == std::string::npos) lines.push_back(line.substr(line.find(": ") + 2));
  }
  return lines;
}

// CPs in value files: the window's Apply writes the device's file, a long CP goes in pieces, the
// flags are honoured, constants and the read-only file are never written, and a device gone in
// the middle of a file write at a commit leaves nothing written anywhere.
TEST_F(LonIpNetworkTest, CpsInValueFilesAreWrittenThroughTheMemoryWindow) {
  AttachAndCommission();
  const auto configured = home_->Configure("Switch 2", "pick StartDelay 5 s\napply\n");
  ASSERT_EQ(configured.status, 0) << configured.err;
  EXPECT_EQ(DeviceLog(*devices_[1]), (std::vector<std::string>{"online", "memory write at 0xA153, 4 bytes, writable value file"}));
  EXPECT_THAT(Lns({"device", "interface", kSwitch2}), HasSubstr("writable value file at 1: 00 32 00 00\n"));
  EXPECT_EQ(Lns({"cp", "upload", kSwitch2}), "Switch 2: every CP the device holds has the database's value\n");
  const auto constant = home_->Lns({"cp", "set", kSwitch2 + "/Omnal 1", "FptIndex", "0 9"});
  EXPECT_EQ(constant.status, 1);
  EXPECT_THAT(constant.err, HasSubstr("device \"Switch 2\", CP \"FptIndex\": it is a constant of the device"));

  // A device of another program, added from what it says: a CP longer than a write, and CPs
  // whose change takes the device offline or resets it.
  auto gadget = SwitchJson(2);
  gadget["ip"] = "127.1.1.8";
  gadget["neuronId"] = "02FC00000008";
  gadget["programId"] = "9FFFFF0000000009";
  gadget["silentAfterResetMs"] = 700;
  gadget["cps"] = nlohmann::json::parse(R"([
      {"appliesTo": "device", "scope": 1, "type": 7, "size": 20},
      {"appliesTo": "device", "scope": 1, "flags": "82", "type": 8, "size": 1, "value": "05"},
      {"appliesTo": "device", "scope": 1, "flags": "88", "type": 9, "size": 1, "value": "06"}])");
  devices_.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, gadget.dump()));
  const std::string kGadget = "Demo/System.Floor 1/Gadget";
  Lns({"device", "add", "Demo/System.Floor 1", "Gadget", "--from-device", "02FC00000008"});
  Lns({"commission", kGadget, "02FC00000008"});
  const std::string twenty = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20";
  EXPECT_EQ(Lns({"cp", "set", kGadget, "UCPT 7", twenty}), twenty + "\n");
  EXPECT_EQ(Lns({"cp", "set", kGadget, "UCPT 8", "7"}), "7\n");
  EXPECT_EQ(Lns({"cp", "set", kGadget, "UCPT 9", "8"}), "8\n");
  const auto start = devices_[2]->Output().find("online\n") + 7;  // after its commissioning
  EXPECT_EQ(devices_[2]->Output().substr(start),
            "portab-lon-device: memory write at 0xA131, 11 bytes, writable value file\n"
            "portab-lon-device: memory write at 0xA13C, 9 bytes, writable value file\n"
            "portab-lon-device: offline\n"
            "portab-lon-device: memory write at 0xA145, 1 bytes, writable value file\n"
            "portab-lon-device: online\n"
            "portab-lon-device: memory write at 0xA146, 1 bytes, writable value file\n"
            "portab-lon-device: reset\n");
  EXPECT_THAT(Lns({"device", "interface", kGadget}),
              AllOf(HasSubstr("writable value file at 0: 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14\n"),
                    HasSubstr("device offline while changed; writable value file at 20: 07\n"),
                    HasSubstr("reset after a change; writable value file at 21: 08\n")));
  for (const auto* device : {devices_[1].get(), devices_[2].get()}) {
    EXPECT_THAT(device->Output(), AllOf(Not(HasSubstr("template file")), Not(HasSubstr("read-only value file")),
                                        Not(HasSubstr("file directory"))));
  }

  // A transaction over two devices; the second stops answering after the first piece of its write.
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(home_->Home() / "lns");
  server->Open(0);
  const auto cp = [&](const std::string& path, const std::string& name) {
    auto owner = lns::ResolveObjectName(*server, path);
    auto cps = path == kGadget ? std::dynamic_pointer_cast<lns::AppDevice>(owner)->Interface()->ConfigProperties()
                               : std::dynamic_pointer_cast<lns::LonMarkObject>(owner)->ConfigProperties();
    auto property = cps->ItemByName(name);
    property->SetValueFormat("RAW");
    return property;
  };
  devices_[2]->Kill();
  gadget["silentAfterMemoryWrites"] = 1;
  devices_[2] = std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, gadget.dump());
  auto db = server->Database("Demo");
  db->StartTransaction();
  cp(kSwitch2 + "/Omnal 1", "Label")->SetValue("76\t105\t103\t104\t116\t0\t0\t0");
  cp(kGadget, "UCPT 7")->SetValue("9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9\t9");
  try {
    db->CommitTransaction();
    ADD_FAILURE() << "the commit went through";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.Number(), lns::err::kDeviceNotAccessible);
    EXPECT_THAT(e.Description(), AllOf(HasSubstr("device \"Gadget\" (7F0100/1/8), CP \"UCPT 7\" (writable value file, offset 0)"),
                                       HasSubstr("lon1 (lonip:127.1.1.127)"), HasSubstr("nothing of the transaction was written")));
  }
  EXPECT_EQ(cp(kSwitch2 + "/Omnal 1", "Label")->Value(), "83\t119\t105\t116\t99\t104\t50\t0");  // the database as before
  // Switch 2 took the new label and got its old one back.
  EXPECT_THAT(DeviceLog(*devices_[1]), testing::ElementsAre("online", "memory write at 0xA153, 4 bytes, writable value file",
                                                            "memory write at 0xA159, 8 bytes, writable value file",
                                                            "memory write at 0xA159, 8 bytes, writable value file"));
  EXPECT_THAT(Lns({"device", "interface", kSwitch2}), HasSubstr("writable value file at 7: 53 77 69 74 63 68 32 00\n"));

  // A device of the same program whose CPs lie elsewhere in its file: nothing is written at the
  // network's offsets, and the interface says where they are.
  auto moved = SwitchJson(2);
  moved["ip"] = "127.1.1.9";
  moved["neuronId"] = "02FC00000009";
  std::swap(moved["cps"][0], moved["cps"][4]);
  devices_.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, moved.dump()));
  Lns({"commission", kSwitch2, "02FC00000009"});
  const auto misplaced = home_->Lns({"cp", "set", kSwitch2, "DeviceOptions", "0 1 0 1"});
  EXPECT_EQ(misplaced.status, 1);
  EXPECT_THAT(misplaced.err, HasSubstr("its template has no CP of 4 bytes at offset 1 of its writable value file: the device "
                                       "keeps its CPs otherwise than the network says"));
  EXPECT_EQ(Lns({"cp", "get", kSwitch2, "DeviceOptions"}), "0 50 0 0\n");
  const auto shape = home_->Lns({"device", "interface", kSwitch2});
  EXPECT_EQ(shape.status, 1);
  EXPECT_THAT(shape.out, HasSubstr("The network's device \"Switch 2\" differs:\n"));
  EXPECT_THAT(devices_.back()->Output(), Not(HasSubstr("memory write")));
}

// Upload and download as an LNS tool offers them: the device and the database are compared,
// and only the engineer's choice changes either, the CPs that differ listed.
TEST_F(LonIpNetworkTest, UploadAndDownloadListTheCpsThatDifferedAndCommissioningOverwritesNothing) {
  AttachAndCommission();
  const std::string label = kSwitch2 + "/Omnal 1";
  // The database changed while the network was not attached.
  Lns({"attach", "Demo", "none"});
  Lns({"cp", "set", label, "Label", "1 2 3 4 5 6 7 8"});
  Lns({"cp", "set", kSwitch2, "DeviceOptions", "0 1 0 2"});
  Lns({"attach", "Demo", "lon1"});
  EXPECT_EQ(Lns({"cp", "get", label, "Label", "--from-device"}), "83 119 105 116 99 104 50 0\n");
  EXPECT_EQ(Lns({"cp", "get", label, "Label"}), "1 2 3 4 5 6 7 8\n");
  EXPECT_EQ(Lns({"commission", kSwitch2, "02FC00000005"}),
            "commissioned device \"Switch 2\" as 7F0100/1/5 (Neuron ID 02FC00000005, configured, online) on lon1 "
            "(lonip:127.1.1.127)\nCPs that differ between the device and the database (portab-lns cp upload \"" + kSwitch2 +
            "\" takes the device's, cp download writes the database's):\n"
            "  CP \"DeviceOptions\" (writable value file, offset 1): the database 0 1 0 2, the device 0 0 0 0\n"
            "  CP \"Label\" of \"Omnal 1\" (writable value file, offset 7): the database 1 2 3 4 5 6 7 8, the device 83 119 105 "
            "116 99 104 50 0\n");
  EXPECT_EQ(Lns({"cp", "get", label, "Label", "--from-device"}), "83 119 105 116 99 104 50 0\n");  // nothing overwritten
  EXPECT_EQ(Lns({"cp", "download", kSwitch2}),
            "Switch 2: 2 CP(s) written to the device:\n"
            "  CP \"DeviceOptions\" (writable value file, offset 1): 0 1 0 2 (the device held 0 0 0 0)\n"
            "  CP \"Label\" of \"Omnal 1\" (writable value file, offset 7): 1 2 3 4 5 6 7 8 (the device held 83 119 105 116 99 "
            "104 50 0)\n");
  EXPECT_EQ(Lns({"cp", "download", kSwitch2}), "Switch 2: 0 CP(s) written to the device\n");
  EXPECT_EQ(DeviceLog(*devices_[1]).size(), 4u);  // online twice and the two writes: nothing more
  // The other way: the device's values into the database, the configuration NV's with its CP.
  Lns({"attach", "Demo", "none"});
  Lns({"cp", "set", label, "Label", "9 9 9 9 9 9 9 9"});
  Lns({"cp", "set", label, "HoldTime", "0 7"});
  Lns({"attach", "Demo", "lon1"});
  EXPECT_EQ(Lns({"cp", "upload", kSwitch2}),
            "Switch 2: 2 CP(s) differed; the database now holds the device's values:\n"
            "  CP \"HoldTime\" of \"Omnal 1\": 1 244 (the database held 0 7)\n"
            "  CP \"Label\" of \"Omnal 1\" (writable value file, offset 7): 1 2 3 4 5 6 7 8 (the database held 9 9 9 9 9 9 9 "
            "9)\n");
  EXPECT_EQ(Lns({"cp", "get", label, "Label"}), "1 2 3 4 5 6 7 8\n");
  Lns({"attach", "Demo", "none"});
  EXPECT_EQ(Lns({"nv", "get", kSwitch2, "nciHoldTime"}), "500\n");
  Lns({"attach", "Demo", "lon1"});
  EXPECT_EQ(Lns({"cp", "get", label, "FptIndex", "--from-device"}), "0 3\n");  // its read-only file
}

// The demo switch's device interface file, written as a maker's tool writes one.
std::string SwitchXif() {
  const std::vector<std::string> lines = {
      "File: switch.xif generated by a maker's tool, XIF Version 4.0", "", "9F:FF:FF:08:1C:0A:04:01",
      "2 15 1 7 0 3 3 2 2 2 2 2 2 11 2 0 1 0 1 1 0 16 62 0 2 1", "3150 10000000 0 1 0 8 0 0 0", "*",
      "\"&3.4@0NodeObject,3200Omnal", "VAR nviPrimeValue 0 0 0 0", "0 1 63 0 0 1 0 1 0 1 0 0 0", "\"@1|1?", "95 * 1", "1 0 0 0 0",
      "VAR nviSecValue 1 0 0 0", "0 1 63 0 0 1 0 1 0 1 0 0 0", "\"@1|2?", "95 * 1", "1 0 0 0 0",
      "VAR nvoValue 2 0 0 0", "0 1 63 1 0 1 0 1 0 1 0 0 0", "\"@1|3?", "95 * 1", "1 0 0 0 0",
      "VAR OutputValue 3 0 0 0", "0 1 63 0 0 1 0 1 0 1 0 0 0", "\"@1|4?", "117 * 1", "1 0 0 0 0",
      "VAR InputValue 4 0 0 0", "0 1 63 1 0 1 0 1 0 1 0 0 0", "\"@1|5", "79 * 1", "1 0 0 0 0",
      "VAR nciHoldTime 5 0 0 0", "0 0 63 0 0 0 0 0 0 0 0 0 1", "\"&1,1,1\\x80,5,?", "79 * 1", "1 0 0 0 0",
      "VAR nvoFileDirectory 6 0 0 0", "0 1 63 1 0 1 0 1 0 1 1 0 0", "\"@0|8", "114 * 1", "1 0 0 0 0",
      "FILE template 0 2", "\"1.1;0,,1\\x80,1,1;0,,1\\x80,2,2,2;2,2,0\\x80,49,2;", "\"1,1,1\\x84,3,2;1,1,1\\x80,4,1,8;",
      "FILE value 1 1", "\\x01 \\x00 \\x0A \\x00 \\x14 \\x00 \\x32 \\x4F \\x6D \\x6E \\x61 \\x6C \\x00 \\x00 \\x00", "FILE readOnly 2 1",
      "\\x00 \\x03", "NVVAL", "\\x01\\xF4"};
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

TEST_F(LonIpNetworkTest, ADeviceIsHeldAgainstItsTemplateBeforeItIsCommissioned) {
  testing_support::WriteFile(home_->Home() / "switch.xif", SwitchXif());
  Lns({"template", "import", (home_->Home() / "switch.xif").string(), "--network", "Demo"});
  AttachAndCommission();  // the demo's devices have the template's interface
  EXPECT_THAT(Lns({"template", "check", "Demo", "9FFFFF081C0A0401", kSwitch2}),
              HasSubstr("has the interface of the template \"switch\" (9F:FF:FF:08:1C:0A:04:01)"));
  // A device planned from the template and one added as the device tells of itself: one shape.
  Lns({"device", "add", "Demo/System.Floor 1", "Planned", "--template", "9FFFFF081C0A0401"});
  Lns({"device", "add", "Demo/System.Floor 1", "Found", "--from-device", "02FC00000005"});
  const auto exported = nlohmann::json::parse(Lns({"export", "Demo"}))["subsystems"][0]["devices"];
  // The same NVs, objects and CPs in the same places, named as the network's devices name them;
  // the values are the template's defaults and the device's own.
  const auto withoutValues = [](nlohmann::json device) {
    device = Shape(device);
    device.erase("template");  // the template's name, and the network device's for the found one
    for (auto& cp : device["cps"]) cp.erase("value");
    for (auto& object : device["lonMarkObjects"]) {
      for (auto& cp : object["cps"]) cp.erase("value");
    }
    for (auto& nv : device["nvs"]) {
      for (auto& cp : nv["cps"]) cp.erase("value");
    }
    return device;
  };
  const auto named = [&](const std::string& name) {
    for (const auto& device : exported) {
      if (device["name"] == name) return device;
    }
    return nlohmann::json();
  };
  EXPECT_EQ(withoutValues(named("Planned")), withoutValues(named("Found")));
  EXPECT_EQ(named("Planned")["lonMarkObjects"][1]["cps"][2]["value"], nlohmann::json::parse("[79,109,110,97,108,0,0,0]"));
  // One of another NV type on site: not commissioned unless accepted, and the check lists why.
  auto odd = SwitchJson(2);
  odd["ip"] = "127.1.1.6";
  odd["neuronId"] = "02FC00000006";
  odd["nvs"][2]["type"] = 83;
  devices_.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, odd.dump()));
  const std::string path = "Demo/System.Floor 1/Planned";
  const auto refused = home_->Lns({"commission", path, "02FC00000006"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, AllOf(HasSubstr("differs from the template \"switch\""), HasSubstr("--accept-interface"),
                                 HasSubstr("NV 2 (nvoValue) type: the template 95, the device 83")));
  EXPECT_THAT(Lns({"commission", path, "02FC00000006", "--accept-interface"}), HasSubstr("commissioned device \"Planned\""));
  const auto check = home_->Lns({"template", "check", "Demo", "9F:FF:FF:08:1C:0A:04:01", path});
  EXPECT_EQ(check.status, 1);
  EXPECT_THAT(check.out, HasSubstr("in 1 point(s):\n  NV 2 (nvoValue) type: the template 95, the device 83\n"));
  // The planned device is one its profile plug-in configures: commands 22 and 13 reach it.
  const auto sent = home_->Command(22, "Demo\\System.Floor 1\\Planned\\Omnal 1");
  EXPECT_EQ(sent.status, 0) << sent.err;
  const auto configured = home_->Configure("Planned", "type HoldTime 12,5\napply\n");
  EXPECT_EQ(configured.status, 0) << configured.err;
  EXPECT_EQ(Lns({"nv", "get", path, "nciHoldTime"}), "125\n");  // asked of the device
}

}  // namespace
