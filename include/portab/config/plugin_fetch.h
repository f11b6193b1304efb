#pragma once
// The fetch routines of this plug-in that fetch a CP named in the plug-in INI file and
// register it in the parameter set in one step. They return whether the CP was found.

#include <memory>
#include <string>

#include "portab/lns/plugin_context.h"
#include "portab/params/params.h"

namespace config::M_PlugInSpecific {

// From the run's device (fromDevice) or LonMark object into a CP buffer named `name`
// ("" = the INI name). The buffer is registered even when the CP is not found.
bool FetchCpToConfigProp(const lns::PlugInContext& context, params::cParams& parameters, const std::string& cpIniName,
                         std::shared_ptr<params::cConfigProp>& configProp, const std::string& name, bool fromDevice);
// The same into a two-byte parameter bound to the LNS CP.
bool FetchCpTo2ByteParameter(const lns::PlugInContext& context, params::cParams& parameters,
                             const std::string& cpIniName, std::shared_ptr<params::cParam2Byte>& parameter,
                             const std::string& name, bool fromDevice);
// A one-byte parameter on an existing CP buffer; returns the buffer's Available.
bool AddConfigPropTo1ByteParameter(params::cParams& parameters, const std::shared_ptr<params::cConfigProp>& configProp,
                                   std::shared_ptr<params::cParam1Byte>& parameter, const std::string& name);

}  // namespace config::M_PlugInSpecific
