#include "platform/lonip/lonip_channel.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <tuple>

#include "platform/lonip/lonip_error.h"
#include "platform/lonip/nm_messages.h"

namespace platform::lonip {

namespace {

using Clock = std::chrono::steady_clock;

// Messages held for Listen: enough for a building's service pins, bounded against a flood.
constexpr size_t kMaxHeld = 4096;

long long WallMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string DestinationKey(const LonTarget& target) {
  switch (target.kind) {
    case LonTarget::Kind::SubnetNode: return target.address.Text();
    case LonTarget::Kind::NeuronId: return HexText(target.neuronId);
    case LonTarget::Kind::Broadcast: return "*";
  }
  return "*";
}

}  // namespace

std::string LonTarget::Text() const {
  switch (kind) {
    case Kind::SubnetNode: return "device " + address.Text();
    case Kind::NeuronId: return "Neuron ID " + HexText(neuronId);
    case Kind::Broadcast:
      return "broadcast in domain " + (address.domain.empty() ? std::string("(zero length)") : HexText(address.domain)) +
             (address.subnet != 0 ? " subnet " + std::to_string(address.subnet) : std::string());
  }
  return {};
}

namespace {

// The tool's socket; while another program of the machine holds it (a request lasts
// milliseconds), tried again for up to one timeout.
UdpSocket BindOwnAddress(const ChannelSettings& settings) {
  const auto end = Clock::now() + settings.timeout;
  for (;;) {
    try {
      return UdpSocket(settings.ownIp, kLonIpPort, false);
    } catch (const LonIpError& error) {
      if (error.ErrorKind() != LonIpError::Kind::Busy || Clock::now() >= end) {
        throw LonIpError(error.ErrorKind(), "LON/IP interface " + settings.name + ": " + error.what());
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ChannelSettings Checked(ChannelSettings settings) {
  if (settings.name.empty()) settings.name = "lonip:" + settings.ownIp.Text();
  if (settings.retries < 0 || settings.retries > 20 || settings.timeout.count() <= 0 || settings.version > 1) {
    throw LonIpError(LonIpError::Kind::Usage, "LON/IP interface " + settings.name +
                                                  ": the timeout must be positive, the retries 0 to 20, the version 0 or 1");
  }
  return settings;
}

}  // namespace

LonIpChannel::~LonIpChannel() { SaveState(); }

LonIpChannel::LonIpChannel(ChannelSettings settings, std::shared_ptr<TransactionIds> ids)
    : settings_(Checked(std::move(settings))),
      own_(LonAddressOfIp(settings_.ownIp)),
      unicast_(BindOwnAddress(settings_)),
      ids_(std::move(ids)) {
  if (!ids_) ids_ = std::make_shared<TransactionIds>(settings_.version == kEnhancedVersion);
  // Another program may have used the address since: its count goes on from theirs (the bind
  // above is exclusive, so the file is current).
  LoadState();
  unicast_.SetMulticastInterface(settings_.ownIp);
  // Service pins and other broadcasts arrive on 239.192.0.0. A machine without a multicast
  // route still reaches devices one by one, so a refusal here only costs hearing them.
  if (!settings_.hearBroadcasts) return;
  try {
    UdpSocket listener(BroadcastIp(), kLonIpPort, true);
    listener.JoinGroup(BroadcastIp(), settings_.ownIp);
    broadcast_.emplace(std::move(listener));
  } catch (const LonIpError&) {
    broadcast_.reset();
  }
}

// The state: the last ids of normal and priority traffic and when it was saved (milliseconds of
// the system clock), then a line for each id given to a destination within the receive timer
// ("<priority 0|1> <id> <age in ms> <destination>"). A file that cannot be read is a fresh
// start, and one that cannot be written costs only the continuation.
void LonIpChannel::LoadState() {
  if (settings_.stateFile.empty()) return;
  std::ifstream in(settings_.stateFile);
  unsigned normal = 0, priority = 0;
  long long savedAt = 0;
  if (!(in >> normal >> priority)) return;
  ids_->ContinueFrom(static_cast<uint16_t>(normal), static_cast<uint16_t>(priority));
  if (!(in >> savedAt)) return;
  const auto since = std::chrono::milliseconds(WallMilliseconds() - savedAt);
  int lane = 0;
  unsigned id = 0;
  long long age = 0;
  std::string destination;
  while (in >> lane >> id >> age && std::getline(in >> std::ws, destination)) {
    if (since.count() < 0 || id > 0xFFFF) continue;
    ids_->Remember({lane == 1, destination, static_cast<uint16_t>(id), std::chrono::milliseconds(age) + since});
  }
}

void LonIpChannel::SaveState() const {
  if (settings_.stateFile.empty()) return;
  // Written beside and renamed over, so that another program never reads half a file.
  const std::string temporary = settings_.stateFile + ".new-" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    WriteState(out);
    if (!out) return;
  }
  std::error_code ignored;
  std::filesystem::rename(temporary, settings_.stateFile, ignored);
  if (ignored) std::filesystem::remove(temporary, ignored);
}

void LonIpChannel::WriteState(std::ostream& out) const {
  out << ids_->Last(false) << " " << ids_->Last(true) << " " << WallMilliseconds() << "\n";
  for (const auto& recent : ids_->RecentIds()) {
    out << (recent.priority ? 1 : 0) << " " << recent.id << " "
        << std::chrono::duration_cast<std::chrono::milliseconds>(recent.age).count() << " " << recent.destination << "\n";
  }
}

std::optional<Ipv4> LonIpChannel::IpOf(const LonAddress& address) const {
  const auto found = learned_.find(address.Text());
  if (found != learned_.end()) return found->second;
  return UnicastIpOf(address);
}

LonIpChannel::Outgoing LonIpChannel::Prepare(const LonTarget& target, PduFormat pdu, uint8_t pduType,
                                             const std::vector<uint8_t>& apdu) {
  Datagram d;
  d.version = settings_.version;
  d.pdu = pdu;
  d.pduType = pduType;
  d.apdu = apdu;
  Outgoing out;
  // A device infers the sender's domain from its IP; another domain is said explicitly.
  if (target.kind != LonTarget::Kind::NeuronId && target.address.domain != own_.domain) {
    d.source = ExplicitSource{own_.subnet, own_.node, target.address.domain};
  }
  switch (target.kind) {
    case LonTarget::Kind::SubnetNode: {
      const auto ip = IpOf(target.address);
      if (!ip) {
        throw LonIpError(LonIpError::Kind::Usage, target.Text() + " has no IP address on " + settings_.name +
                                                      " (a 6-byte domain, or a 3-byte domain not ending in 00)");
      }
      out.ip = *ip;
      out.expectedFrom = *ip;
      out.expectedSource = target.address;
      d.format = AddressFormat::SubnetNode;
      break;
    }
    case LonTarget::Kind::NeuronId:
      out.ip = BroadcastIp();
      d.format = AddressFormat::NeuronId;
      d.neuronId = target.neuronId;
      break;
    case LonTarget::Kind::Broadcast:
      out.ip = BroadcastIp(target.address.subnet);
      d.format = target.address.subnet == 0 ? AddressFormat::DomainBroadcast : AddressFormat::SubnetBroadcast;
      d.subnet = target.address.subnet;
      // Requests and acknowledged messages to many devices carry a backlog byte.
      if (pdu != PduFormat::Apdu && pduType == static_cast<uint8_t>(PduType::Request)) d.backlog = 0;
      break;
  }
  if (pdu != PduFormat::Apdu) d.transaction = ids_->Next(false, DestinationKey(target));
  out.transaction = d.transaction;
  out.bytes = EncodeDatagram(d);
  return out;
}

void LonIpChannel::Learn(const Ipv4& from, const Datagram& datagram, LonAddress& source) {
  source = LonAddressOfIp(from);
  if (!datagram.source) return;
  source.subnet = datagram.source->subnet;
  source.node = datagram.source->node;
  if (datagram.source->domain) source.domain = *datagram.source->domain;
  // 0/0 is a device that has no address yet: nothing to learn.
  if (source.subnet != 0 && source.node != 0) learned_[source.Text()] = from;
}

void LonIpChannel::Hold(HeardMessage message) {
  if (heard_.size() >= kMaxHeld) heard_.pop_front();
  heard_.push_back(std::move(message));
}

std::optional<std::pair<HeardMessage, Datagram>> LonIpChannel::ReadOne() {
  for (UdpSocket* socket : {&unicast_, broadcast_ ? &*broadcast_ : nullptr}) {
    if (socket == nullptr) continue;
    auto received = socket->Receive();
    if (!received) continue;
    // Our own broadcasts come back through the multicast loop.
    if (received->from == settings_.ownIp) return std::nullopt;
    try {
      Datagram datagram = DecodeDatagram(received->bytes);
      HeardMessage message{received->from, {}, datagram.apdu};
      Learn(received->from, datagram, message.source);
      return std::pair{std::move(message), std::move(datagram)};
    } catch (const LonIpError&) {
      ++malformed_;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

void LonIpChannel::WaitAndRead(Clock::time_point deadline,
                               const std::function<bool(const HeardMessage&, const Datagram&)>& accept) {
  std::vector<UdpSocket*> sockets{&unicast_};
  if (broadcast_) sockets.push_back(&*broadcast_);
  while (WaitForDatagram(sockets, deadline)) {
    // Drain what waits; a flood of datagrams cannot hold the caller past its deadline.
    for (int i = 0; i < 64; ++i) {
      auto one = ReadOne();
      if (!one) break;
      if (accept(one->first, one->second)) return;
      // What answers nothing of ours and was sent on a device's own account is kept for Listen.
      if (one->second.pdu == PduFormat::Apdu || one->second.pduType == static_cast<uint8_t>(PduType::UnackedRepeat)) {
        Hold(std::move(one->first));
      }
    }
    if (Clock::now() >= deadline) return;
  }
}

std::optional<HeardMessage> LonIpChannel::Exchange(const Outgoing& out, uint8_t answerType, PduFormat pdu) {
  std::optional<HeardMessage> answer;
  for (int attempt = 0; attempt <= settings_.retries && !answer; ++attempt) {
    unicast_.SendTo(out.bytes, out.ip, kLonIpPort);
    WaitAndRead(Clock::now() + settings_.timeout, [&](const HeardMessage& message, const Datagram& d) {
      if (d.pdu != pdu || d.pduType != answerType || d.transaction != out.transaction) return false;
      // A device behind another IP than the one asked still names itself in its explicit source.
      const bool fromTarget = !out.expectedFrom || message.from == *out.expectedFrom ||
                              (d.source && out.expectedSource && message.source == *out.expectedSource);
      if (!fromTarget) return false;
      answer = message;
      lastAnswerFrom_ = message.from;
      return true;
    });
  }
  return answer;
}

void LonIpChannel::NoAnswer(const LonTarget& target, const std::vector<uint8_t>& apdu, const char* what) const {
  throw LonIpError(LonIpError::Kind::NoAnswer,
                   target.Text() + " on " + settings_.name + " did not answer " + MessageName(apdu) + " (" + what + ", " +
                       std::to_string(settings_.retries + 1) + " tries of " + std::to_string(settings_.timeout.count()) +
                       " ms)");
}

std::vector<uint8_t> LonIpChannel::Request(const LonTarget& target, const std::vector<uint8_t>& apdu) {
  const Outgoing out = Prepare(target, PduFormat::Spdu, static_cast<uint8_t>(PduType::Request), apdu);
  const auto answer = Exchange(out, static_cast<uint8_t>(PduType::Response), PduFormat::Spdu);
  if (!answer) NoAnswer(target, apdu, "no response");
  if (answer->apdu.empty()) {
    throw LonIpError(LonIpError::Kind::Malformed,
                     target.Text() + " on " + settings_.name + " answered " + MessageName(apdu) + " with an empty response");
  }
  return answer->apdu;
}

void LonIpChannel::SendAcknowledged(const LonTarget& target, const std::vector<uint8_t>& apdu) {
  const Outgoing out = Prepare(target, PduFormat::Tpdu, static_cast<uint8_t>(PduType::Acknowledged), apdu);
  if (!Exchange(out, static_cast<uint8_t>(PduType::Ack), PduFormat::Tpdu)) NoAnswer(target, apdu, "no acknowledgement");
}

void LonIpChannel::SendUnacknowledged(const LonTarget& target, const std::vector<uint8_t>& apdu) {
  const Outgoing out = Prepare(target, PduFormat::Tpdu, static_cast<uint8_t>(PduType::UnackedRepeat), apdu);
  for (int attempt = 0; attempt <= settings_.retries; ++attempt) unicast_.SendTo(out.bytes, out.ip, kLonIpPort);
}

std::vector<HeardMessage> LonIpChannel::RequestAll(const LonTarget& target, const std::vector<uint8_t>& apdu,
                                                   std::chrono::milliseconds listen, size_t enough) {
  const Outgoing out = Prepare(target, PduFormat::Spdu, static_cast<uint8_t>(PduType::Request), apdu);
  std::vector<HeardMessage> answers;
  // One answer per device: several devices behind one IP differ in their explicit sources (or,
  // sending none, in what they answer: a Query ID's Neuron ID).
  std::set<std::tuple<Ipv4, std::string, std::vector<uint8_t>>> answered;
  const auto end = Clock::now() + listen;
  const auto done = [&] { return enough != 0 && answers.size() >= enough; };
  for (int attempt = 0; attempt <= settings_.retries && Clock::now() < end && !done(); ++attempt) {
    unicast_.SendTo(out.bytes, out.ip, kLonIpPort);
    const auto tryEnd = attempt == settings_.retries ? end : std::min(end, Clock::now() + settings_.timeout);
    WaitAndRead(tryEnd, [&](const HeardMessage& message, const Datagram& d) {
      if (d.pdu == PduFormat::Spdu && d.pduType == static_cast<uint8_t>(PduType::Response) &&
          d.transaction == out.transaction && !message.apdu.empty() &&
          answered.insert({message.from, message.source.Text(), message.apdu}).second) {
        answers.push_back(message);
      }
      return done();
    });
  }
  return answers;
}

std::vector<HeardMessage> LonIpChannel::Listen(std::chrono::milliseconds listen) {
  WaitAndRead(Clock::now() + listen, [](const HeardMessage&, const Datagram&) { return false; });
  std::vector<HeardMessage> heard(std::make_move_iterator(heard_.begin()), std::make_move_iterator(heard_.end()));
  heard_.clear();
  return heard;
}

}  // namespace platform::lonip
