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

// What registering an automation class writes.
struct ClassRegistration {
  std::string progId;   // the class's name ("veltaPortaB.Application")
  std::string classId;  // "{8-4-4-4-12}"
  std::filesystem::path server;  // the program that serves the class's objects
  std::vector<std::pair<std::string, std::string>> details;  // descriptive data: name, value
};

// An automation object that stands for an LNS object: sent on the wire as {"$lns": name}.
class LnsObjectReference {
 public:
  virtual ~LnsObjectReference() = default;
  // The LNS object name sent on the wire, and the LNS object itself.
  virtual std::string LnsObjectName() const = 0;
  virtual lns::ObjectPtr LnsObject() const = 0;
};

// Writes and removes the registration of automation classes.
class ComRegistration {
 public:
  virtual ~ComRegistration() = default;
  // Writes the class's entries (over those there are), and removes the entries of the class
  // name and the class id; a registry store that cannot be written raises its error (75).
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
