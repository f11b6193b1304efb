#pragma once
// Automation as the program uses it: registering its classes, and creating the objects of
// other registered programs.

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/dispatch.h"
#include "lns/lns_objects.h"

namespace services::automation {

struct ClassRegistration {
  std::string progId;
  std::string classId;  // "{8-4-4-4-12}"
  std::filesystem::path server;
  std::vector<std::pair<std::string, std::string>> details;  // descriptive data: name, value
};

// An automation object that stands for an LNS object: sent on the wire as {"$lns": name}.
class LnsObjectReference {
 public:
  virtual ~LnsObjectReference() = default;
  virtual std::string LnsObjectName() const = 0;
  virtual lns::ObjectPtr LnsObject() const = 0;
};

// Writes and removes the registration of automation classes.
class ComRegistration {
 public:
  virtual ~ComRegistration() = default;
  virtual void Register(const ClassRegistration& registration) = 0;
  virtual void Unregister(const std::string& progId, const std::string& classId) = 0;
};

// Creates the object of a registered class; raises error 429 when it cannot.
class ObjectFactory {
 public:
  virtual ~ObjectFactory() = default;
  virtual base::DispatchPtr CreateObject(const std::string& progId) = 0;
};

}  // namespace services::automation
