#pragma once
// A model of the tabs of tab strip controls, so that single tabs can be hidden and shown
// again at the place they had when the strip was modelled: cTabStrips (all modelled strips),
// cTabStrip (one strip with its tabs), cTabs (the tab models of one strip), cTab (one tab).
// A tab's key is "KEY:" and its key number; a hidden tab is a model whose key is not among
// the control's tabs. Models are never dropped while their strip is modelled.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "portab/ui/window/controls.h"

namespace ui {

class cTabs;
class cTabStrip;

// One tab's model; setting a field other than the caption changes only the model.
class cTab {
 public:
  cTabs* Parent() const { return parent_; }  // the tab models it belongs to
  // The tab's place in the control when it was modelled (from 1), which decides where it
  // comes back (read/write).
  int16_t Index() const { return index_; }
  void SetIndex(int16_t index) { index_ = index; }
  // The tab's key ("KEY:n"), tool tip, tag and caption (read/write).
  const std::string& Key() const { return key_; }
  void SetKey(std::string key) { key_ = std::move(key); }
  const std::string& ToolTipText() const { return toolTipText_; }
  void SetToolTipText(std::string text) { toolTipText_ = std::move(text); }
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string tag) { tag_ = std::move(tag); }
  const std::string& Caption() const { return caption_; }
  // Stores the caption and renames the control's tab of this key (then the relayout check).
  void SetCaption(std::string caption);

 private:
  friend class cTabs;
  cTabs* parent_ = nullptr;
  int16_t index_ = 0;
  std::string key_;
  std::string caption_;
  std::string toolTipText_;
  std::string tag_;
};

// The tab models of one strip, in the order they were modelled.
class cTabs {
 public:
  cTabStrip* Parent() const { return parent_; }  // the strip they belong to
  // Models one tab of the control (`position` is its place in the control, from 1).
  cTab& Add(const window::Tab& newTab, int16_t position);
  // The first model whose Index (not position) is `index`, or none.
  cTab* Item(int16_t index);
  // The first model whose Key is `key` exactly, or none.
  cTab* ItemByKey(const std::string& key);
  int16_t Count() const { return static_cast<int16_t>(tabs_.size()); }  // the number of models
  // Puts the tab back into the control in front of the first shown tab that came after it
  // (nothing without its model; the relayout check follows).
  void ShowTabByKeyNo(int16_t keyNo);
  // Removes the first control tab of that key number; the model stays.
  void HideTabByKeyNo(int16_t keyNo);

 private:
  friend class cTabStrip;
  friend class cTabStrips;
  window::TabStrip& Control() const;
  cTabStrip* parent_ = nullptr;
  std::vector<std::unique_ptr<cTab>> tabs_;
};

class cTabStrips;

// One modelled strip.
class cTabStrip {
 public:
  // The set of strips it belongs to, its tab models, and the control it models.
  cTabStrips* Parent() const { return parent_; }
  cTabs& Tabs() { return tabs_; }
  window::TabStrip& Control() const { return *control_; }
  // Leaves exactly the tabs of these key numbers in the control (each in its modelled place);
  // the selected tab stays selected while it stays in the control.
  void ShowTabs(const std::vector<int16_t>& tabKeys);

 private:
  friend class cTabStrips;
  friend class cTabs;
  friend class cTab;
  // The client-area measure the relayout check compares: the room the tabs take (one per tab
  // and its caption's length), which grows when a tab comes back or gets a longer caption.
  float ClientMeasure() const;
  // When the measure grew beyond `before`, lets the window show the selected tab's sub-page.
  void RelayoutCheck(float before);

  cTabStrips* parent_ = nullptr;
  window::TabStrip* control_ = nullptr;
  cTabs tabs_;
};

// Every modelled strip.
class cTabStrips {
 public:
  // Models the strip and all its current tabs. The control must outlive the model.
  cTabStrip& Add(window::TabStrip& tbs);
  // The model of that very control, or none.
  cTabStrip* Item(const window::TabStrip& tabStripControl);
  int16_t Count() const { return static_cast<int16_t>(strips_.size()); }  // the number of strips
  // Called by the relayout check with the strip whose tabs took more room.
  void SetRelayoutHandler(std::function<void(window::TabStrip&)> handler) { relayout_ = std::move(handler); }

 private:
  friend class cTabStrip;
  std::vector<std::unique_ptr<cTabStrip>> strips_;
  std::function<void(window::TabStrip&)> relayout_;
};

// The key number of a tab key "KEY:n" (0 when there is none).
int16_t KeyNumber(const std::string& key);

}  // namespace ui
