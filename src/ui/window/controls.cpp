#include "ui/window/controls.h"

#include <algorithm>

#include "base/text.h"

namespace ui::window {

void MenuBar::AddBand(std::string name, std::vector<MenuTool> tools) {
  bands_.push_back({std::move(name), std::move(tools)});
}

MenuTool* MenuBar::Tool(std::string_view band, std::string_view tool) {
  for (auto& b : bands_) {
    if (!base::EqualsNoCase(b.name, band)) continue;
    for (auto& t : b.tools) {
      if (base::EqualsNoCase(t.name, tool)) return &t;
    }
  }
  return nullptr;
}

void PageBar::Remove(std::string_view key) {
  std::erase_if(buttons_, [&](const PageButton& b) { return b.key == key; });
}

bool PageBar::Has(std::string_view key) const {
  return std::any_of(buttons_.begin(), buttons_.end(), [&](const PageButton& b) { return b.key == key; });
}

int32_t SubPageOf(std::string_view tabKey) {
  const size_t colon = tabKey.find(':');
  return colon == std::string_view::npos ? 0 : static_cast<int32_t>(base::Val(tabKey.substr(colon + 1)));
}

void LogBox::AddLine(const std::string& text, uint32_t colour, bool) {
  lines_.push_back({text, colour});
  Added.Emit();
}

}  // namespace ui::window
