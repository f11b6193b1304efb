#pragma once
// Creating an automation object by programmatic id: the class is looked up in the registry
// store, its program started with "-Embedding", and the returned proxy talks to it over the
// program's standard input and output. Releasing the last reference sends "release" and
// waits for the program to end (it is killed when it does not end within the time limit).

#include <chrono>
#include <memory>
#include <string>

#include "base/dispatch.h"
#include "services/automation.h"
#include "platform/automation/connection.h"
#include "services/registry.h"

namespace platform::automation {

using namespace services::automation;  // the interfaces implemented here

// How long a call may take before the server counts as not answering: PORTAB_AUTOMATION_TIMEOUT
// seconds, 120 when unset.
std::chrono::milliseconds CallTimeout();

// Raises kCannotCreateObject when the class is not registered or its program cannot start.
std::shared_ptr<base::Dispatch> CreateObject(const services::registry::Registry& registry, const std::string& progId,
                                             Connection::LnsResolver lnsResolver = nullptr);

// Creates objects of the classes registered in a registry store; LNS objects received from
// them are resolved with `lnsResolver`.
class RegistryObjectFactory final : public ObjectFactory {
 public:
  RegistryObjectFactory(const services::registry::Registry& registry, Connection::LnsResolver lnsResolver)
      : registry_(registry), lnsResolver_(std::move(lnsResolver)) {}
  base::DispatchPtr CreateObject(const std::string& progId) override {
    return automation::CreateObject(registry_, progId, lnsResolver_);
  }

 private:
  const services::registry::Registry& registry_;
  Connection::LnsResolver lnsResolver_;
};

// Resolves {"$lns": name} received on the wire with `server` (opened when needed).
Connection::LnsResolver LnsResolverFor(std::shared_ptr<lns::ObjectServer> server);

// Serves `root` over standard input and output until the client releases it (and
// `endOnRelease` agrees) or goes away.
Connection::End ServeObject(base::DispatchPtr root, const std::function<bool()>& endOnRelease,
                            Connection::LnsResolver lnsResolver);

}  // namespace platform::automation
