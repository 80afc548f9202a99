#include "vst/base/AEffEditor.h"

AEffEditor::AEffEditor(AudioEffect* effect)
    : effect(effect), systemWindow(nullptr), updateFlag(0) {}

AEffEditor::~AEffEditor() = default;

AudioEffect* AEffEditor::getEffect() {
    return effect;
}

bool AEffEditor::getRect(ERect** rect) {
    if (rect) *rect = nullptr;
    return false;
}

bool AEffEditor::open(void* ptr) {
    systemWindow = ptr;
    return false;
}

void AEffEditor::close() {
    systemWindow = nullptr;
}

bool AEffEditor::isOpen() {
    return systemWindow != nullptr;
}

void AEffEditor::idle() {
    // Clearing before drawing keeps a request posted during update for the next idle.
    if (updateFlag.exchange(0, std::memory_order_relaxed) != 0) update();
}

void AEffEditor::update() {}

void AEffEditor::postUpdate() {
    updateFlag.store(1, std::memory_order_relaxed);
}

bool AEffEditor::onKeyDown(VstKeyCode&) {
    return false;
}

bool AEffEditor::onKeyUp(VstKeyCode&) {
    return false;
}

bool AEffEditor::onWheel(float) {
    return false;
}

bool AEffEditor::setKnobMode(VstInt32) {
    return false;
}
