// The adapter's VST editor. It makes the plug-in's own editor object through the plug-in's
// factory when the host first asks for the editor's size or opens it, hands the host that
// editor's size, opens it inside the host's window and forwards redraws to it. The object
// is destroyed when the host closes the editor and made again on the next request.
#pragma once

#include "vst/base/AEffEditor.h"

class axo_plugin_i;
class axo_editor_i;

class AXOIEditor : public AEffEditor {
public:
    AXOIEditor(AudioEffect* effect, axo_plugin_i* plugin);
    ~AXOIEditor() override;
    AXOIEditor(const AXOIEditor&) = delete;
    AXOIEditor& operator=(const AXOIEditor&) = delete;

    // Size of the plug-in's editor; false when the factory makes none.
    bool getRect(ERect** rect) override;
    // Shows the plug-in's editor in the host's window ptr; false when it could not open.
    bool open(void* ptr) override;
    // Destroys the plug-in's editor object and forgets the host's window.
    void close() override;
    // Redraws the plug-in's editor from the plug-in's current values.
    void update() override;

private:
    // The plug-in's editor object, made and attached on first need; null when the factory
    // makes none.
    axo_editor_i* plugin_editor();

    axo_plugin_i* plugin_;                   // not owned
    axo_editor_i* editor_object_ = nullptr;  // owned
    ERect rect_{};
};
