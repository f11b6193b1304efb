#pragma once
// A headless model of the window controls the plug-in's logic needs: captions, tags, tool
// tips, positions, visibility and the keyed parts of bars and tab strips. A visible front
// end can render it later; the logic and the tests work on the model.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "portab/base/signal.h"
#include "portab/ui/logger.h"

namespace ui::window {

// One control of the window: what a front end needs to draw it.
struct Control {
  std::string name;
  std::string typeName;  // "Label", "Frame", "CommandButton", ...
  std::string tag;       // "c/t": caption id / tool tip id
  std::string caption;
  std::string toolTip;
  int32_t index = 0;  // the position in its control array
  double left = 0, top = 0, width = 0, height = 0;
  bool enabled = true;
  bool visible = true;
};

// A menu bar of bands (File, Help, ...) holding named tools.
struct MenuTool {
  std::string name;
  std::string caption;  // at design time: the id of its caption
  std::string tag;
  bool visible = true;
};

// One band: its name and its tools in order.
struct MenuBand {
  std::string name;
  std::vector<MenuTool> tools;
};

class MenuBar {
 public:
  void AddBand(std::string name, std::vector<MenuTool> tools);  // appends a band
  // The tool by band and tool name (letter case ignored); nullptr when the band or tool is
  // missing.
  MenuTool* Tool(std::string_view band, std::string_view tool);
  const std::vector<MenuBand>& Bands() const { return bands_; }  // in the order they were added

 private:
  std::vector<MenuBand> bands_;
};

// The bar of page buttons: each button has a key (a number as text) and as tag the id of its caption.
struct PageButton {
  std::string key;
  std::string tag;
  std::string caption;
  int16_t pictureId = 0;  // the id of the button's picture
};

class PageBar {
 public:
  // The buttons in bar order; removing and asking go by key.
  std::vector<PageButton>& Buttons() { return buttons_; }
  const std::vector<PageButton>& Buttons() const { return buttons_; }
  void Remove(std::string_view key);
  bool Has(std::string_view key) const;

  // The bar's own mouse pointer: 0 the default, 99 the custom shape (a pointing hand).
  int16_t mousePointer = 0;

 private:
  std::vector<PageButton> buttons_;
};

// A page: a tab strip whose tabs ("KEY:n") select sub-page frames.
struct Tab {
  std::string key;  // "KEY:n", n the sub-page
  std::string tag;  // "c/t": caption id / tool tip id
  std::string caption;
  std::string toolTip;
};

// A page's tab strip with its sub-page frames.
struct TabStrip : Control {
  std::vector<Tab> tabs;  // the tabs shown, in order
  int32_t selected = 0;  // position in tabs
  std::vector<Control> frames;  // sub-pages, by sub-page number
  double clientLeft = 0, clientTop = 0, clientWidth = 0, clientHeight = 0;  // where a sub-page goes
};

// The number after ":" of a tab key ("KEY:7" -> 7), 0 when there is none.
int32_t SubPageOf(std::string_view tabKey);

// The OK, Cancel and Apply buttons: their captions and whether Apply can be clicked.
struct ButtonLine {
  std::string ok = "OK", cancel = "Cancel", apply = "Apply";
  bool applyEnabled = false;
};

// The log box: coloured lines.
class LogBox final : public ui::LogBox {
 public:
  struct Line {
    std::string text;
    uint32_t colour;
  };
  void AddLine(const std::string& text, uint32_t colour, bool flag) override;  // `flag` is ignored
  const std::vector<Line>& Lines() const { return lines_; }  // every line so far, oldest first
  bool visible = false;  // whether the log box is shown
  base::Signal<> Added;  // after each new line

 private:
  std::vector<Line> lines_;
};

// The Monitoring page's table: the run's monitor points with their last values, updated live
// while the page is shown and not paused.
struct MonitorRow {
  std::string name;        // the monitor point's name
  std::string value;       // the last value seen ("" none yet)
  bool available = false;  // the point has an NV
  bool failed = false;     // the last read of the NV failed (the device did not answer)
};
struct MonitorTable {
  std::vector<MonitorRow> rows;  // in the order the points were added
  bool live = false;    // the NVs are monitored: their updates reach the rows
  bool paused = false;  // the user paused the updates (the rows keep their last values)
  std::string state;    // what the page says of the updates ("Live", "Paused", ...)
  int32_t updates = 0;  // updates received since the window opened
};

}  // namespace ui::window
