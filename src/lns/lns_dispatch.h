#pragma once
// An LNS object handed across automation: reachable by name ("ClassId", "Name",
// "ObjectName"), and sent on the wire as {"$lns": <its LNS object name>}.

#include <memory>
#include <string>

#include "base/dispatch.h"
#include "lns/lns_objects.h"
#include "services/automation.h"

namespace lns {

// An LNS object with the automation properties ClassId, Name and ObjectName (read-only).
class LnsObjectDispatch final : public base::DispatchTable, public services::automation::LnsObjectReference {
 public:
  // `objectName` "" means the object's own LNS object name.
  explicit LnsObjectDispatch(ObjectPtr object, std::string objectName = {});
  // The name sent on the wire, and the LNS object itself.
  std::string LnsObjectName() const override { return objectName_; }
  ObjectPtr LnsObject() const override { return object_; }

 private:
  ObjectPtr object_;
  std::string objectName_;
};

// The LNS object behind an automation object (nullptr for other objects).
ObjectPtr LnsObjectOf(const base::DispatchPtr& object);

}  // namespace lns
