// A plug-in's own editor window, as the factory makes it. The slot order is fixed: a host
// bridge calls through it, and the unassigned slots keep their places for later use.
#pragma once

#include <cstdint>

class axo_plugin_i;

// Placement of an editor inside its parent window, in pixels.
struct axo_rect_t {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

class axo_editor_i {
public:
    virtual ~axo_editor_i() = default;
    virtual void unassigned_1() {}
    // Called once right after creation with the plug-in the editor shows.
    virtual void attach(axo_plugin_i* plugin) = 0;
    // Size of the editor in pixels.
    virtual int width() = 0;
    virtual int height() = 0;
    virtual void unassigned_2() {}
    virtual void unassigned_3() {}
    // Shows the editor inside the host's native parent window; 0 when that failed.
    virtual int open(void* parent, axo_rect_t rect) = 0;
    // Redraws from the plug-in's current values.
    virtual void refresh() = 0;
};
