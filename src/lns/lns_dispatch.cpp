#include "lns/lns_dispatch.h"

#include "lns/object_names.h"

namespace lns {

LnsObjectDispatch::LnsObjectDispatch(ObjectPtr object, std::string objectName)
    : base::DispatchTable("LNS"), object_(std::move(object)), objectName_(std::move(objectName)) {
  if (objectName_.empty()) objectName_ = ObjectNameOf(object_);
  AddProperty("ClassId", [this] { return base::Variant(object_->ClassId()); });
  AddProperty("Name", [this] { return base::Variant(object_->Name()); });
  AddProperty("ObjectName", [this] { return base::Variant(objectName_); });
}

ObjectPtr LnsObjectOf(const base::DispatchPtr& object) {
  const auto* reference = dynamic_cast<const services::automation::LnsObjectReference*>(object.get());
  return reference != nullptr ? reference->LnsObject() : nullptr;
}

}  // namespace lns
