#include "params/param_optbtn.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "params/params.h"

namespace params {
namespace {

using namespace cParamEnums;
constexpr const char* kRaw = "RAW";

void CheckIndex(int32_t index, size_t count) {
  if (index < 1 || static_cast<size_t>(index) > count) throw base::Error(base::err::kSubscriptOutOfRange, "cParamOptBtn");
}

// Runs `transfer` with the CP's value format switched to "RAW" and restores the format
// before; each step goes on when the one before failed. Returns the description of the
// first failure ("" when none).
template <typename Transfer>
std::string WithRawFormat(lns::ConfigProperty& cp, Transfer transfer) {
  std::string failure;
  auto step = [&failure](const auto& statement) {
    try {
      statement();
      return true;
    } catch (const std::exception& e) {
      if (failure.empty()) failure = base::ToError(e, "cParamOptBtn").Description();
      return false;
    }
  };
  std::string saved;
  const bool formatKnown = step([&] { saved = cp.ValueFormat(); });
  step([&] { cp.SetValueFormat(kRaw); });
  step(transfer);
  if (formatKnown) step([&] { cp.SetValueFormat(saved); });
  return failure;
}

}  // namespace

int16_t cParamOptBtn::ClassId() const { return PA_CLASSID_OPTIONBUTTON_PARAMETER; }

void cParamOptBtn::AddOptionButton(const std::shared_ptr<ui::window::OptionButton>& button,
                                   const std::string& itemData) {
  buttons_.push_back(button);
  itemData_.push_back(itemData);
  if (!button) return;
  button->SetTag(Name());
  if (Parent() != nullptr) Parent()->Connect(button);
}

const std::shared_ptr<ui::window::OptionButton>& cParamOptBtn::OptionButton(int32_t index) const {
  CheckIndex(index, buttons_.size());
  return buttons_[static_cast<size_t>(index - 1)];
}

const std::string& cParamOptBtn::ItemData(int32_t index) const {
  CheckIndex(index, itemData_.size());
  return itemData_[static_cast<size_t>(index - 1)];
}

void cParamOptBtn::SetValue(const std::string& value) {
  value_ = std::string(base::TrimBlanks(value));
  SelectButtonForValue();
  SetChanged(true);
}

void cParamOptBtn::SelectButtonForValue() {
  if (ShowsNoValue()) return;
  for (size_t i = 0; i < itemData_.size(); ++i) {
    if (itemData_[i] != value_) continue;
    if (buttons_[i]) buttons_[i]->SetValue(true);
    return;
  }
}

void cParamOptBtn::SetLockMode(int32_t mode) {
  StoreLockMode(mode);
  const bool noValue = ShowsNoValue();
  for (const auto& button : buttons_) {
    if (!button) continue;
    button->SetEnabled(mode == LM_UNLOCKED);
    if (noValue) button->SetValue(false);
  }
  if (!noValue) SelectButtonForValue();
}

void cParamOptBtn::OptionButton_Click_Event(int32_t index) {
  value_ = ItemData(index);
  SetChanged(true);
}

void cParamOptBtn::WriteToLns() {
  LogEntry("WriteToLns");
  if (CpIsExternal() || !Available() || !ConfigProperty()) return;
  const std::string failure = WithRawFormat(*ConfigProperty(), [&] { ConfigProperty()->SetValue(value_); });
  if (!failure.empty()) {
    base::LogSwallowedError("Parameter \"" + Name() + "\": the value \"" + base::ReplaceAll(value_, "\t", " ") +
                            "\" was not written into " + CpText() + ": " + failure);
  }
  SetChanged(false);
}

void cParamOptBtn::ReadFromLns() {
  LogEntry("ReadFromLns");
  if (CpIsExternal() || !Available() || !ConfigProperty()) return;
  // A failed read keeps the value there was (each failure is logged).
  value_ = ReadWholeRawValue([this](std::string& text) {
    text = value_;
    return WithRawFormat(*ConfigProperty(), [&] { text = ConfigProperty()->Value(); });
  });
  SelectButtonForValue();
  SetChanged(false);
}

void cParamOptBtn::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  SetChanged(false);
}

void cParamOptBtn::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  SetChanged(false);
}

}  // namespace params
