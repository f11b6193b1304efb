#pragma once
// frmMain: the plug-in's only window, as a model: its menu, page bar, pages with tab strips,
// button line, status line and log box, and the logic that prepares it for a command.
// In the command flows it is loaded but not shown.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "portab/base/signal.h"
#include "portab/ui/window/controls.h"
#include "portab/ui/window/value_controls.h"

namespace services::registry {
class Registry;
}
namespace services::dialogs {
class Dialogs;
}

namespace ui {

// Page bar masks: bit -> the caption id of the page it removes.
struct PageMaskBit {
  int32_t bit;
  int16_t captionId;
};
inline constexpr PageMaskBit kPageBits[] = {{1, 1001}, {2, 1005}, {4, 1002}, {8, 1003}, {16, 1004}};

class frmMain {
 public:
  frmMain();  // the design-time window

  // Places the window where it was last ("Top"/"Left" of "Settings" under the plug-in's key)
  // and loads the texts of the window, the menu and the button line.
  void Form_Load(const services::registry::Registry& registry, const std::string& plugInKey, bool toolTipsEnabled);
  // The texts of the window's caption, labels, tabs and page buttons from their tags (tool
  // tips only when enabled), and the captions of the menu tools.
  void LoadResStrings(bool toolTipsEnabled);
  void LoadResStringsToMenu();

  // Commands 2, 3 and 4 hide the file and parameter tools of the File band.
  void SetupMenu(int32_t currentCommand);
  // Removes the page buttons of the command's mask (command 1: only when the device is not
  // accessible).
  void SetupPages(int32_t currentCommand, bool deviceAccessible);
  // The kPageBits a command removes: command 1 none (28 when the device is not accessible),
  // 2: 15, 3: 27, 4: 23, 100: 28, any other none.
  static int32_t PageMask(int32_t currentCommand, bool deviceAccessible);

  // Disables the Apply button (the caller clears ParametersChanged).
  void SetControls() { buttons.applyEnabled = false; }
  // The unload question (item 3 of 1428) when parameters changed: true cancels the closing.
  bool QueryUnload(bool parametersChanged, services::dialogs::Dialogs& dialogs) const;
  // Stores the position unless minimised or maximised (or without a key); status line 1507.
  void Form_Unload(services::registry::Registry& registry, const std::string& plugInKey);

  // The window's state, as a front end shows it.
  std::string tag = "1809/";  // "c/t": the id of its caption
  std::string caption;
  double top = 0, left = 0, width = 9600, height = 7200;
  int16_t windowState = 0;  // 0 normal, 1 minimised, 2 maximised
  bool visible = false;
  bool loading = false;  // the parameter set is being filled from LNS
  bool enabled = true;
  int16_t mousePointer = 0;       // 0 default, 11 hourglass, 99 custom
  int32_t currentPage = -1;       // position in `pages` of the page shown, -1 none
  int16_t currentSubPage = 0;     // number of the sub-page shown (also the help topic)
  uint8_t objectServerEvents = 0; // counted up to 10
  int32_t repaints = 0;           // how often the window was repainted
  bool unloaded = false;  // set once the window was closed

  // The parameter controls, each on a sub-page of a page (a front end lays them out there).
  struct PlacedControl {
    std::shared_ptr<window::ValueControl> control;
    int32_t page = 0;      // position in `pages`
    int16_t subPage = 0;   // number of the sub-page frame
    std::string label;     // the text beside the control
  };
  std::vector<PlacedControl> controls;

  // The window's parts (see ui/window/controls.h); `pages` in page button order.
  window::MenuBar menu;
  window::PageBar pageBar;
  std::vector<window::TabStrip> pages;
  std::vector<window::Control> labels;
  window::ButtonLine buttons;
  std::string statusLine;
  // The line above the pages that says where the window is: network, system and subsystems,
  // device, LonMark object, function profile and knowledge-base version ("" none).
  std::string headerLine;
  // The title a window system shows ("" the caption): the caption with the network.
  std::string windowTitle;
  // When the parameters were last read or written, beside the status line ("" not yet).
  std::string lastTransfer;
  window::LogBox logBox;
  // The monitor points on the Monitoring page.
  window::MonitorTable monitorTable;

  // Raised while an action runs when the window should show its state at once (busy,
  // status line, a new log line), so a front end redraws before the action ends.
  base::Signal<> StateChanged;
};

}  // namespace ui
