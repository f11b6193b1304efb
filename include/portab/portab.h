#pragma once
// The portab profile plug-in framework in one include: the plug-in entry point and CP lookup,
// the parameter set and its seven kinds, CP buffers, monitor points, the knowledge base, the
// window model's controls, the string table, logging and the library's version. Each header
// can also be included alone ("portab/params/params.h").

#include "portab/base/atomic_file.h"
#include "portab/base/error.h"
#include "portab/base/procedure.h"
#include "portab/base/product.h"
#include "portab/config/configuration.h"
#include "portab/config/main_window.h"
#include "portab/knowledge/mc16.h"
#include "portab/knowledge/profile_plugins.h"
#include "portab/monitoring/monitor_points.h"
#include "portab/monitoring/monitoring.h"
#include "portab/params/config_prop.h"
#include "portab/params/param_checkbox.h"
#include "portab/params/param_combobox.h"
#include "portab/params/param_enums.h"
#include "portab/params/param_optbtn.h"
#include "portab/params/param_raw.h"
#include "portab/params/param_textbox.h"
#include "portab/params/params.h"
#include "portab/plugin/cp_lookup.h"
#include "portab/plugin/plugin_entry.h"
#include "portab/ui/frm_main.h"
#include "portab/ui/logger.h"
#include "portab/ui/res_strings.h"
#include "portab/ui/window/value_controls.h"
