// Base of an effect's editor window as a VST host drives it. The effect owns at most one
// editor and forwards the editor opcodes to it; this base keeps the host's parent window
// and a redraw request, and gives every other operation a neutral answer.
#pragma once

#include <atomic>

#include "vst/base/vst_abi.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect = nullptr);
    virtual ~AEffEditor();

    // The effect that owns this editor.
    virtual AudioEffect* getEffect();
    // Hands the host the editor's size; the base has none, stores null and answers false.
    virtual bool getRect(ERect** rect);
    // Opens the editor inside the host's window ptr; the base only remembers the window.
    virtual bool open(void* ptr);
    // Closes the editor; the host's window is forgotten.
    virtual void close();
    // True between open and close.
    virtual bool isOpen();
    // Called periodically by the host on its user-interface thread; serves one pending
    // redraw request, however many were posted since the last call.
    virtual void idle();
    // Redraws the editor; a derived editor draws here.
    virtual void update();
    // Asks for a redraw at the next idle. Safe from any thread, including the audio thread.
    virtual void postUpdate();
    // Key and wheel input from the host; true when the editor used it.
    virtual bool onKeyDown(VstKeyCode& keyCode);
    virtual bool onKeyUp(VstKeyCode& keyCode);
    virtual bool onWheel(float distance);
    // Knob behaviour chosen by the host; true when the editor accepted it.
    virtual bool setKnobMode(VstInt32 val);

protected:
    AudioEffect* effect;
    void* systemWindow;
    // 1 while a redraw is pending. Written from the parameter thread and cleared on the
    // user-interface thread, so it is a lock-free word rather than a plain one.
    std::atomic<VstInt32> updateFlag;
};

static_assert(sizeof(std::atomic<VstInt32>) == sizeof(VstInt32), "the request stays one word");
