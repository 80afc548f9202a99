// The module's one factory object: describes the class and makes instances of it. It lives
// as long as the module, so its reference count is only kept for the host's sake.
#pragma once

#include "vst3/vst3_abi.h"

// The factory with one reference added for the caller; null when the plug-in's factory
// cannot be described.
vst3::IPluginFactory3* vst3_plugin_factory();
