// The Turtle description of the LV2 bundle, written from the plug-in's own answers: the
// factory's information strings and, for each channel configuration, the port layout of a
// fresh instance. Nothing about the plug-in is kept here by hand.
#pragma once

#include <string>

class axo_factory_i;

// The bundle's manifest.ttl: each plug-in's URI, its module file (binary, relative to the
// bundle) and the file of its description (description, likewise).
std::string lv2_manifest(axo_factory_i* factory, const std::string& binary,
                         const std::string& description);

// The description of every plug-in the bundle holds, and of their project. Empty when the
// factory cannot make an instance in every channel configuration.
std::string lv2_description(axo_factory_i* factory);
