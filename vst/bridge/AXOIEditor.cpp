#include "vst/bridge/AXOIEditor.h"

#include "framework/axo_editor_i.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"

AXOIEditor::AXOIEditor(AudioEffect* effect, axo_plugin_i* plugin)
    : AEffEditor(effect), plugin_(plugin) {}

AXOIEditor::~AXOIEditor() {
    delete editor_object_;
}

axo_editor_i* AXOIEditor::plugin_editor() {
    if (editor_object_ != nullptr || plugin_ == nullptr) return editor_object_;
    axo_factory_i* factory = plugin_->get_factory();
    if (factory == nullptr) return nullptr;
    editor_object_ = factory->create_editor();
    if (editor_object_ != nullptr) editor_object_->attach(plugin_);
    return editor_object_;
}

bool AXOIEditor::getRect(ERect** rect) {
    axo_editor_i* ed = plugin_editor();
    if (ed == nullptr) {
        if (rect != nullptr) *rect = nullptr;
        return false;
    }
    rect_.top = 0;
    rect_.left = 0;
    rect_.right = static_cast<VstInt16>(ed->width());
    rect_.bottom = static_cast<VstInt16>(ed->height());
    if (rect != nullptr) *rect = &rect_;
    return true;
}

bool AXOIEditor::open(void* ptr) {
    systemWindow = ptr;
    axo_editor_i* ed = plugin_editor();
    if (ed == nullptr) return false;
    const axo_rect_t placement{0, 0, ed->width(), ed->height()};
    if (ed->open(ptr, placement) == 0) return false;
    ed->refresh();
    postUpdate();
    return true;
}

void AXOIEditor::close() {
    delete editor_object_;
    editor_object_ = nullptr;
    AEffEditor::close();
}

void AXOIEditor::update() {
    if (editor_object_ != nullptr) editor_object_->refresh();
}
