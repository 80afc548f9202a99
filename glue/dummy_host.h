// Host services that offer nothing: every request is declined. A host bridge derives from
// it and overrides the services it really provides.
#pragma once

#include "framework/axo_host_i.h"

class dummy_host : public axo_host_i {
public:
    int attach(axo_plugin_i* plugin) override;
    int detach(axo_plugin_i* plugin) override;
    int reserved_1(intptr_t word) override;
    int reserved_2(intptr_t word) override;
    int refresh_editor(intptr_t word) override;
    int offer(const char* key, void* object, int size) override;
};
