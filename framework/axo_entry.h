// The module's native entry point.
#pragma once

#include "axo_factory_i.h"

#if defined(_WIN32)
#define AXO_EXPORT __declspec(dllexport)
#else
#define AXO_EXPORT __attribute__((visibility("default")))
#endif

// Flag 0: a new factory, owned by the caller (null if it cannot be made); any other flag:
// null, reserved for later use.
extern "C" AXO_EXPORT axo_factory_i* get_axoi(int flag);

// Supplied by the module's plug-in: makes the factory get_axoi hands out.
axo_factory_i* axo_create_module_factory();
