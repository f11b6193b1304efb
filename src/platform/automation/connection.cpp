#include "platform/automation/connection.h"

#include <cmath>

#include "base/error.h"
#include "platform/automation/automation_errors.h"

namespace platform::automation {
namespace {

using Json = nlohmann::json;

Json ErrorResponse(const Json& id, int32_t code, const std::string& message, const std::string& source) {
  return Json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}, {"data", {{"source", source}}}}}};
}

[[noreturn]] void BadParams(const std::string& what) { throw base::Error(err::kInvalidParams, "Automation", what); }

std::string NameParam(const Json& params) {
  if (!params.contains("name") || !params["name"].is_string()) BadParams("\"name\" must be a text");
  return params["name"].get<std::string>();
}

}  // namespace

Connection::Connection(int readFd, int writeFd, std::chrono::milliseconds timeout)
    : writeFd_(writeFd), reader_(readFd), timeout_(timeout) {}

// Text that is not UTF-8 (from a file or the other side) goes out with replacement characters
// rather than making the JSON library throw.
void Connection::Send(const Json& message) {
  WriteMessage(writeFd_, message.dump(-1, ' ', false, Json::error_handler_t::replace));
}

Json Connection::Encode(const base::Variant& value) {
  switch (value.GetType()) {
    case base::Variant::Type::Empty: return nullptr;
    case base::Variant::Type::Bool: return value.ToBool();
    case base::Variant::Type::Integer: return static_cast<int64_t>(value.ToDouble());
    case base::Variant::Type::Double: return value.ToDouble();
    case base::Variant::Type::String: return value.ToString();
    case base::Variant::Type::Object: break;
  }
  base::DispatchPtr object = value.ToObject();
  if (!object) return nullptr;
  if (const auto* lns = dynamic_cast<const services::automation::LnsObjectReference*>(object.get())) return Json{{"$lns", lns->LnsObjectName()}};
  const int64_t ref = nextRef_++;
  exported_[ref] = std::move(object);
  return Json{{"$ref", ref}};
}

base::Variant Connection::Decode(const Json& value) {
  if (value.is_null()) return {};
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number_integer()) return value.get<int64_t>();
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) return value.get<std::string>();
  if (value.is_object() && value.size() == 1 && value.contains("$ref") && value["$ref"].is_number_integer()) {
    return base::DispatchPtr(std::make_shared<RemoteDispatch>(shared_from_this(), value["$ref"].get<int64_t>()));
  }
  if (value.is_object() && value.size() == 1 && value.contains("$lns") && value["$lns"].is_string()) {
    base::DispatchPtr object = lnsResolver_ ? lnsResolver_(value["$lns"].get<std::string>()) : nullptr;
    if (!object) BadParams("Unknown LNS object \"" + value["$lns"].get<std::string>() + "\"");
    return object;
  }
  BadParams("A value must be null, a Boolean, a number, a text, {\"$ref\": id} or {\"$lns\": name}");
}

base::DispatchPtr Connection::Target(const Json& params) {
  if (!params.contains("ref")) {
    if (!root_) BadParams("This side serves no object");
    return root_;
  }
  if (!params["ref"].is_number_integer()) BadParams("\"ref\" must be a whole number");
  auto it = exported_.find(params["ref"].get<int64_t>());
  if (it == exported_.end()) BadParams("No object with ref " + params["ref"].dump());
  return it->second;
}

Json Connection::Answer(const Json& request, bool& released) {
  const std::string method = request["method"].get<std::string>();
  const Json params = request.contains("params") ? request["params"] : Json::object();
  if (!params.is_object()) BadParams("\"params\" must be an object");
  if (method == "release") {
    if (params.contains("ref")) {
      Target(params);
      exported_.erase(params["ref"].get<int64_t>());
    } else {
      released = true;
    }
    return nullptr;
  }
  base::DispatchPtr target = Target(params);
  if (method == "get") return Encode(target->Get(NameParam(params)));
  if (method == "put") {
    if (!params.contains("value")) BadParams("\"put\" needs a \"value\"");
    target->Put(NameParam(params), Decode(params["value"]));
    return nullptr;
  }
  if (method == "invoke") {
    std::vector<base::Variant> args;
    if (params.contains("args")) {
      if (!params["args"].is_array()) BadParams("\"args\" must be a list");
      for (const auto& arg : params["args"]) args.push_back(Decode(arg));
    }
    const base::Variant result = target->Invoke(NameParam(params), args);
    Json back = Json::array();
    for (const auto& arg : args) back.push_back(Encode(arg));
    return Json{{"result", Encode(result)}, {"args", back}};
  }
  throw base::Error(err::kMethodNotFound, "Automation", "Method not found: " + method);
}

std::optional<Json> Connection::Handle(const Json& request, bool& released) {
  const Json id = request.contains("id") ? request["id"] : Json();
  // An answer nobody waits for any more (one that came after its call timed out) is dropped:
  // answering it would hand the other side a response it might take for one of its own calls.
  if (!request.contains("method") && (request.contains("result") || request.contains("error"))) return std::nullopt;
  if (!request.contains("method") || !request["method"].is_string()) {
    return ErrorResponse(id, err::kInvalidRequest, "Invalid request", "Automation");
  }
  // A notification (no "id") gets no answer, not even when it fails.
  const bool notification = !request.contains("id");
  try {
    const uint64_t failuresBefore = wireFailures_;
    Json result = Answer(request, released);
    // A call back to the other side that failed on the wire (most often: it timed out) fails
    // this request too, even when the member carried on after it: its caller must not take
    // the result for a success.
    if (wireFailures_ != failuresBefore && lastWireFailure_) throw *lastWireFailure_;
    if (notification) return std::nullopt;
    return Json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
  } catch (const base::Error& e) {
    if (notification) return std::nullopt;
    return ErrorResponse(id, e.Number(), e.Description(), e.Source());
  } catch (const std::exception& e) {
    if (notification) return std::nullopt;
    return ErrorResponse(id, base::err::kInternal, e.what(), "Automation");
  }
}

Json Connection::Call(const std::string& method, Json params) {
  const int64_t id = nextId_++;
  Json answer;
  try {
    if (broken_) throw base::Error(err::kServerGone, "Automation", "The connection has ended");
    Send(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
    while (true) {
      auto body = reader_.Read(timeout_);
      if (!body) throw base::Error(err::kServerGone, "Automation", "The automation server ended");
      Json message = Json::parse(*body, nullptr, false);
      if (message.is_discarded() || !message.is_object()) {
        throw base::Error(err::kProtocol, "Automation", "The other side sent invalid JSON");
      }
      if (message.contains("method")) {  // a call-back while we wait
        bool released = false;
        if (auto response = Handle(message, released)) Send(*response);
        continue;
      }
      if (!message.contains("id") || message["id"] != id) continue;  // an answer to nothing we wait for
      answer = std::move(message);
      break;
    }
  } catch (const base::Error& e) {
    // Only what went wrong on this connection's own wire breaks it; an error the other side
    // answered (below) leaves it usable, whatever its number.
    if (e.Number() == err::kServerGone || e.Number() == err::kProtocol) broken_ = true;
    ++wireFailures_;
    lastWireFailure_ = e;
    throw;
  }
  if (answer.contains("error")) {
    const Json& e = answer["error"];
    const int32_t code = e.is_object() ? e.value("code", err::kProtocol) : err::kProtocol;
    const std::string source =
        e.is_object() && e.contains("data") && e["data"].is_object() ? e["data"].value("source", "") : "";
    throw base::Error(code, source, e.is_object() ? e.value("message", "") : "");
  }
  return answer.value("result", Json());
}

Connection::End Connection::Serve(const std::function<bool()>& endOnRelease) {
  while (true) {
    std::optional<std::string> body;
    try {
      body = reader_.Read(std::chrono::milliseconds(0));
    } catch (const base::Error& e) {
      broken_ = true;
      if (e.Number() == err::kProtocol) {
        try {
          Send(ErrorResponse(nullptr, err::kParseError, e.Description(), "Automation"));
        } catch (const base::Error&) {
        }
        return End::ProtocolBroken;
      }
      return End::PeerGone;
    }
    if (!body) return End::PeerGone;
    Json request = Json::parse(*body, nullptr, false);
    bool released = false;
    std::optional<Json> response;
    if (request.is_discarded()) {
      response = ErrorResponse(nullptr, err::kParseError, "Parse error", "Automation");
    } else if (!request.is_object()) {
      response = ErrorResponse(nullptr, err::kInvalidRequest, "Invalid request", "Automation");
    } else {
      response = Handle(request, released);
    }
    try {
      if (response) Send(*response);
    } catch (const base::Error&) {
      return End::PeerGone;
    }
    if (released && endOnRelease()) return End::Released;
  }
}

Json RemoteDispatch::Params(std::string_view name) const {
  Json params{{"name", std::string(name)}};
  if (ref_ != 0) params["ref"] = ref_;
  return params;
}

std::shared_ptr<Connection> RemoteDispatch::Lock() const {
  auto connection = connection_.lock();
  if (!connection) throw base::Error(err::kServerGone, "Automation", "The connection has ended");
  return connection;
}

base::Variant RemoteDispatch::Get(std::string_view name) {
  auto connection = Lock();
  return connection->Decode(connection->Call("get", Params(name)));
}

void RemoteDispatch::Put(std::string_view name, const base::Variant& value) {
  auto connection = Lock();
  Json params = Params(name);
  params["value"] = connection->Encode(value);
  connection->Call("put", std::move(params));
}

base::Variant RemoteDispatch::Invoke(std::string_view name, std::vector<base::Variant>& args) {
  auto connection = Lock();
  Json params = Params(name);
  Json list = Json::array();
  for (const auto& arg : args) list.push_back(connection->Encode(arg));
  params["args"] = std::move(list);
  const Json answer = connection->Call("invoke", std::move(params));
  if (answer.is_object() && answer.contains("args") && answer["args"].is_array()) {
    const Json& back = answer["args"];
    for (size_t i = 0; i < args.size() && i < back.size(); ++i) args[i] = connection->Decode(back[i]);
  }
  return answer.is_object() && answer.contains("result") ? connection->Decode(answer["result"]) : base::Variant();
}

}  // namespace platform::automation
