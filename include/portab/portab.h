#pragma once
// The portab profile plug-in framework in one include: the plug-in entry point and CP lookup,
// the parameter set and its seven kinds, CP buffers, monitor points, the knowledge base, the
// window model's controls, the string table, logging and the library's version. Each header
// can also be included alone, by its path below include/portab ("params/params.h").

#include "base/atomic_file.h"
#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "config/configuration.h"
#include "config/main_window.h"
#include "knowledge/mc16.h"
#include "knowledge/profile_plugins.h"
#include "monitoring/monitor_points.h"
#include "monitoring/monitoring.h"
#include "params/config_prop.h"
#include "params/param_checkbox.h"
#include "params/param_combobox.h"
#include "params/param_enums.h"
#include "params/param_optbtn.h"
#include "params/param_raw.h"
#include "params/param_textbox.h"
#include "params/params.h"
#include "plugin/cp_lookup.h"
#include "plugin/plugin_entry.h"
#include "ui/frm_main.h"
#include "ui/logger.h"
#include "ui/res_strings.h"
#include "ui/window/value_controls.h"
