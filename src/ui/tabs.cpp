#include "ui/tabs.h"

#include <algorithm>

#include "base/text.h"

namespace ui {

int16_t KeyNumber(const std::string& key) {
  const std::string token = base::Field(key, 2, ":");
  const double number = base::Val(token);
  return number >= INT16_MIN && number <= INT16_MAX ? static_cast<int16_t>(number) : 0;
}

// Runs `change` on the strip's tabs and keeps the selected tab selected while it stays in the
// strip, wherever it moves; when it goes, the tab that takes its place (the last one when it
// was last) is selected.
template <typename Change>
void KeepingSelection(window::TabStrip& control, Change change) {
  const auto count = [&] { return static_cast<int32_t>(control.tabs.size()); };
  const int32_t position = control.selected;
  const std::string key = position >= 0 && position < count() ? control.tabs[static_cast<size_t>(position)].key : "";
  change();
  const auto found = std::find_if(control.tabs.begin(), control.tabs.end(),
                                  [&](const window::Tab& tab) { return !key.empty() && tab.key == key; });
  control.selected = found != control.tabs.end() ? static_cast<int32_t>(found - control.tabs.begin())
                                                 : std::clamp(position, 0, std::max(0, count() - 1));
}

// ---- cTab ----

void cTab::SetCaption(std::string caption) {
  cTabStrip* strip = parent_ != nullptr ? parent_->Parent() : nullptr;
  const float before = strip != nullptr ? strip->ClientMeasure() : 0;
  caption_ = std::move(caption);
  if (strip == nullptr) return;
  for (auto& tab : strip->Control().tabs) {
    if (tab.key == key_) tab.caption = caption_;
  }
  strip->RelayoutCheck(before);
}

// ---- cTabs ----

window::TabStrip& cTabs::Control() const { return parent_->Control(); }

cTab& cTabs::Add(const window::Tab& newTab, int16_t position) {
  auto model = std::make_unique<cTab>();
  model->parent_ = this;
  model->index_ = position;
  model->key_ = newTab.key;
  model->SetCaption(newTab.caption);
  model->toolTipText_ = newTab.toolTip;
  model->tag_ = newTab.tag;
  tabs_.push_back(std::move(model));
  return *tabs_.back();
}

cTab* cTabs::Item(int16_t index) {
  for (auto& tab : tabs_) {
    if (tab->index_ == index) return tab.get();
  }
  return nullptr;
}

cTab* cTabs::ItemByKey(const std::string& key) {
  for (auto& tab : tabs_) {
    if (tab->key_ == key) return tab.get();
  }
  return nullptr;
}

void cTabs::HideTabByKeyNo(int16_t keyNo) {
  auto& tabs = Control().tabs;
  const auto found = std::find_if(tabs.begin(), tabs.end(), [keyNo](const window::Tab& tab) {
    return KeyNumber(tab.key) == keyNo;
  });
  if (found == tabs.end()) return;
  KeepingSelection(Control(), [&] { tabs.erase(found); });
}

void cTabs::ShowTabByKeyNo(int16_t keyNo) {
  window::TabStrip& control = Control();
  const float before = parent_->ClientMeasure();
  cTab* model = ItemByKey("KEY:" + std::to_string(keyNo));
  if (model == nullptr) return;
  auto& tabs = control.tabs;
  const bool shown = std::any_of(tabs.begin(), tabs.end(), [&](const window::Tab& tab) { return tab.key == model->key_; });
  if (!shown) {
    // In front of the first shown tab that was modelled after this one.
    size_t place = tabs.size();
    for (size_t i = 0; i < tabs.size() && place == tabs.size(); ++i) {
      for (int32_t later = model->index_ + 1; later <= Count(); ++later) {
        const cTab* other = Item(static_cast<int16_t>(later));
        if (other != nullptr && other->key_ == tabs[i].key) {
          place = i;
          break;
        }
      }
    }
    KeepingSelection(control, [&] {
      tabs.insert(tabs.begin() + static_cast<std::ptrdiff_t>(place),
                  window::Tab{model->key_, model->tag_, model->caption_, model->toolTipText_});
    });
  }
  parent_->RelayoutCheck(before);
}

// ---- cTabStrip ----

void cTabStrip::ShowTabs(const std::vector<int16_t>& tabKeys) {
  std::vector<std::string> remove;
  for (const auto& tab : control_->tabs) {
    const std::string number = std::to_string(KeyNumber(tab.key));
    const bool wanted = std::any_of(tabKeys.begin(), tabKeys.end(),
                                    [&](int16_t key) { return std::to_string(key) == number; });
    if (!wanted) remove.push_back(tab.key);
  }
  KeepingSelection(*control_, [&] {
    for (const auto& key : remove) {
      std::erase_if(control_->tabs, [&](const window::Tab& tab) { return tab.key == key; });
    }
  });
  for (int16_t key : tabKeys) tabs_.ShowTabByKeyNo(key);
}

float cTabStrip::ClientMeasure() const {
  float room = 0;
  for (const auto& tab : control_->tabs) room += 1.0F + static_cast<float>(tab.caption.size());
  return room;
}

void cTabStrip::RelayoutCheck(float before) {
  if (parent_ == nullptr || !parent_->relayout_ || ClientMeasure() <= before) return;
  parent_->relayout_(*control_);
}

// ---- cTabStrips ----

cTabStrip& cTabStrips::Add(window::TabStrip& tbs) {
  auto strip = std::make_unique<cTabStrip>();
  strip->parent_ = this;
  strip->control_ = &tbs;
  strip->tabs_.parent_ = strip.get();
  for (size_t i = 0; i < tbs.tabs.size(); ++i) strip->tabs_.Add(tbs.tabs[i], static_cast<int16_t>(i + 1));
  strips_.push_back(std::move(strip));
  return *strips_.back();
}

cTabStrip* cTabStrips::Item(const window::TabStrip& tabStripControl) {
  for (auto& strip : strips_) {
    if (strip->control_ == &tabStripControl) return strip.get();
  }
  return nullptr;
}

}  // namespace ui
