// Services a host offers to a plug-in it has taken in.
#pragma once

#include <cstdint>

class axo_plugin_i;

class axo_host_i {
public:
    virtual ~axo_host_i() = default;
    // The plug-in has taken this object as its host; 1.
    virtual int attach(axo_plugin_i* plugin) = 0;
    // The plug-in leaves this host; 1.
    virtual int detach(axo_plugin_i* plugin) = 0;
    // No role fixed; 0.
    virtual int reserved_1(intptr_t word) = 0;
    // No role fixed; 0.
    virtual int reserved_2(intptr_t word) = 0;
    // Asks for the plug-in's editor display to be refreshed; 1 if an editor will redraw.
    virtual int refresh_editor(intptr_t word) = 0;
    // Hands the host an object under a key; 1 if the host takes it.
    virtual int offer(const char* key, void* object, int size) = 0;
};
