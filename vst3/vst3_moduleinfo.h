// The bundle's Contents/Resources/moduleinfo.json, written from the plug-in's own answers
// through the same class description the running factory serves.
#pragma once

#include <string>

struct vst3_class_info;

// The JSON text for a module file named module_name (the bundle's name, "X.vst3").
std::string vst3_moduleinfo(const vst3_class_info& info, const std::string& module_name);
