// The functions of a plug-in record and of the extensions it offers. Each reaches the
// instance through as_instance, catches every exception, and guards the rounding mode where
// the plug-in computes.
#pragma once

#include "clap/clap_abi.h"

// Fills in the record's functions.
void clap_fill_record(clap_plugin_t& record);
