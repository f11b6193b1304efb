// portab-lon-device: a LON device on LON/IP, described in JSON, for tests and the demo.
//   portab-lon-device DESCRIPTION.json
// It binds port 2541 of the description's address, listens on 239.192.0.0 (and its subnet's
// broadcast address), answers until SIGTERM or SIGINT, and sends its service-pin message at
// start when the description asks and on each SIGUSR1. Once ready it prints one line,
// "portab-lon-device: <Neuron ID> at <IP>"; then a line for each memory write and change of
// mode (offline, online, reset).
#include <poll.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "platform/lonip/lonip_error.h"
#include "platform/lonip/simulated_device.h"
#include "platform/lonip/udp_socket.h"

namespace {

using namespace platform::lonip;

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t servicePinRequested = 0;

void OnStop(int) { stopRequested = 1; }
void OnServicePin(int) { servicePinRequested = 1; }

int Run(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::stringstream text;
  text << file.rdbuf();
  SimulatedDevice device(ReadDeviceDescription(text.str()));
  const Ipv4 ip = device.Description().ip;
  UdpSocket unicast(ip, kLonIpPort, false);
  unicast.SetMulticastInterface(ip);
  std::vector<UdpSocket> groups;
  std::set<Ipv4> joined;
  const auto join = [&](const Ipv4& group) {
    if (!joined.insert(group).second) return;
    UdpSocket listener(group, kLonIpPort, true);
    listener.JoinGroup(group, ip);
    groups.push_back(std::move(listener));
  };
  join(BroadcastIp());
  std::signal(SIGTERM, OnStop);
  std::signal(SIGINT, OnStop);
  std::signal(SIGUSR1, OnServicePin);
  std::printf("portab-lon-device: %s at %s\n", HexText(device.Description().neuronId).c_str(), ip.Text().c_str());
  std::fflush(stdout);
  if (device.Description().servicePinAtStart) servicePinRequested = 1;
  while (stopRequested == 0) {
    if (servicePinRequested != 0) {
      servicePinRequested = 0;
      unicast.SendTo(device.ServicePinDatagram(), BroadcastIp(), kLonIpPort);
    }
    if (device.Configured() && device.Address().subnet != 0) join(BroadcastIp(device.Address().subnet));
    std::vector<UdpSocket*> sockets{&unicast};
    for (auto& group : groups) sockets.push_back(&group);
    if (!WaitForDatagram(sockets, std::chrono::steady_clock::now() + std::chrono::milliseconds(200))) continue;
    for (UdpSocket* socket : sockets) {
      while (auto received = socket->Receive()) {
        if (received->from == ip) continue;
        for (const auto& reply : device.Receive(received->bytes, received->from, std::chrono::steady_clock::now())) {
          unicast.SendTo(reply, received->from, kLonIpPort);
        }
        for (const auto& line : device.TakeLog()) std::printf("portab-lon-device: %s\n", line.c_str());
        std::fflush(stdout);
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr, "usage: portab-lon-device DESCRIPTION.json\n");
    return argc == 2 ? 0 : 2;
  }
  try {
    return Run(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "portab-lon-device: %s\n", error.what());
    return 1;
  }
}
