// Which plug-in parameters a host sees. A parameter is exposed when its kind is one a
// host can present and the plug-in does not hide it; exposed parameters keep the plug-in's
// order, so a host's parameter k (VST index, LV2 control port) is the k-th exposed one.
#pragma once

class axo_plugin_i;

bool is_exposed_param(axo_plugin_i* plugin, int index);
int count_exposed_params(axo_plugin_i* plugin);
