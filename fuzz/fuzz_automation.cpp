// The automation wire on arbitrary bytes: the framing, the JSON-RPC decoder and a server
// serving what it decodes, with an object that echoes, hands out objects and calls back.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "base/dispatch.h"
#include "platform/automation/connection.h"

namespace {

class EchoObject final : public base::DispatchTable {
 public:
  EchoObject() : DispatchTable("Fuzz") {
    AddProperty("Value", [this] { return value_; }, [this](const base::Variant& v) { value_ = v; });
    AddMethod("Echo", [](std::vector<base::Variant>& args) {
      for (auto& arg : args) arg = base::Variant(std::string("changed"));
      return args.empty() ? base::Variant() : args.front();
    });
    AddMethod("Child", [](std::vector<base::Variant>&) { return base::Variant(base::DispatchPtr(std::make_shared<EchoObject>())); });
    // Calls back the object it is given: the connection then waits for the other side.
    AddMethod("CallBack", [](std::vector<base::Variant>& args) {
      if (args.empty() || !args[0].IsObject()) return base::Variant();
      auto object = args[0].ToObject();
      return object ? object->Get("Name") : base::Variant();
    });
  }

 private:
  base::Variant value_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const int input = ::memfd_create("fuzz-wire", MFD_CLOEXEC);
  if (input < 0 || ::write(input, data, size) != static_cast<ssize_t>(size) || ::lseek(input, 0, SEEK_SET) != 0) {
    ::abort();
  }
  {
    auto connection = std::make_shared<platform::automation::Connection>(input, sink, std::chrono::milliseconds(5));
    connection->SetRoot(std::make_shared<EchoObject>());
    connection->SetLnsResolver([](const std::string&) { return base::DispatchPtr(); });
    connection->Serve([] { return true; });
  }
  ::close(input);
  return 0;
}
