// The host services the VST adapter gives its plug-in: the plug-in can ask for its editor
// display to be refreshed. The adapter offers its editor bridge under the key "effeditor";
// a refresh request then only raises the bridge's redraw request, which the host serves at
// its next editor idle call on its user-interface thread.
#pragma once

#include "glue/dummy_host.h"

class AEffEditor;

class myhost : public dummy_host {
public:
    // Forgets the registered editor; 1.
    int detach(axo_plugin_i* plugin) override;
    // 1 when an editor is registered and its redraw was requested; else 0.
    int refresh_editor(intptr_t word) override;
    // Takes the object as the editor for the key "effeditor" exactly; 0 for any other key.
    int offer(const char* key, void* object, int size) override;

    AEffEditor* editor() const { return editor_; }

private:
    AEffEditor* editor_ = nullptr;  // not owned
};
