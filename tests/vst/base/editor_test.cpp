// The editor opcodes with and without an attached editor, and the deferred redraw.
#include <limits>

#include "vst/base/test_effect.h"

namespace {

using EditorOpcodes = HostedEffectTest;

int windowHandle;

TEST_F(EditorOpcodes, WithoutAnEditorEveryEditorOpcodeAnswersZero) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    effect.setEditor(nullptr);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(r, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(r, effEditOpen, 0, 0, &windowHandle), 0);
    EXPECT_EQ(dispatch(r, effEditClose), 0);
    EXPECT_EQ(dispatch(r, effEditIdle), 0);
    EXPECT_EQ(dispatch(r, effEditKeyDown, 'a', 1, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(r, effEditKeyUp, 'a', 1, nullptr, 1.0f), 0);
    EXPECT_EQ(dispatch(r, effSetEditKnobMode, 0, 2), 0);
    EXPECT_EQ(r->flags & effFlagsHasEditor, 0);
}

TEST_F(EditorOpcodes, TheBaseEditorRemembersTheWindowButOffersNoRectangleOrWindow) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    auto* editor = new AEffEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(r->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_EQ(editor->getEffect(), &effect);

    auto* rect = reinterpret_cast<ERect*>(&windowHandle);
    EXPECT_EQ(dispatch(r, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(dispatch(r, effEditOpen, 0, 0, &windowHandle), 0);
    EXPECT_TRUE(editor->isOpen());
    EXPECT_EQ(dispatch(r, effEditIdle), 0);
    EXPECT_EQ(dispatch(r, effEditClose), 0);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(dispatch(r, effEditKeyDown, 'a', 1), 0);
    EXPECT_EQ(dispatch(r, effEditKeyUp, 'a', 1), 0);
    EXPECT_EQ(dispatch(r, effSetEditKnobMode, 0, 1), 0);
    EXPECT_FALSE(editor->onWheel(1.0f));
}

class AnsweringEditor : public RecordingEditor {
public:
    using RecordingEditor::RecordingEditor;
    bool getRect(ERect** rect) override {
        *rect = &area;
        return true;
    }
    bool open(void* window) override {
        AEffEditor::open(window);
        return true;
    }
    ERect area{0, 0, 200, 300};
};

TEST_F(EditorOpcodes, AnEditorsAnswersReachTheHostAsOneOrZero) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    auto* editor = new AnsweringEditor(&effect);
    effect.setEditor(editor);

    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(r, effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->area);
    EXPECT_EQ(dispatch(r, effEditOpen, 0, 0, &windowHandle), 1);

    EXPECT_EQ(dispatch(r, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
    editor->keyAnswer = false;
    EXPECT_EQ(dispatch(r, effSetEditKnobMode, 0, 1), 0);
}

TEST_F(EditorOpcodes, KeyOpcodesHandTheEditorTheKeyCodeBuiltFromTheArguments) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    auto* editor = new RecordingEditor(&effect);
    effect.setEditor(editor);

    EXPECT_EQ(dispatch(r, effEditKeyDown, 'q', 0x1234, nullptr, 3.9f), 1);
    editor->keyAnswer = false;
    EXPECT_EQ(dispatch(r, effEditKeyUp, -2, 0x7F, nullptr, 258.0f), 0);
    EXPECT_EQ(dispatch(r, effEditKeyDown, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN()),
              0);
    EXPECT_EQ(dispatch(r, effEditKeyDown, 0, 0, nullptr, 1e20f), 0);

    ASSERT_EQ(editor->keys.size(), 4u);
    EXPECT_EQ(editor->keys[0].character, 'q');
    EXPECT_EQ(editor->keys[0].virt, 0x34);
    EXPECT_EQ(editor->keys[0].modifier, 3);
    EXPECT_EQ(editor->keys[1].character, -2);
    EXPECT_EQ(editor->keys[1].virt, 0x7F);
    EXPECT_EQ(editor->keys[1].modifier, 2);
    EXPECT_EQ(editor->keys[2].modifier, 0);
    EXPECT_EQ(editor->keys[3].modifier, 0);
}

TEST_F(EditorOpcodes, RedrawRequestsAreServedOnceByTheNextIdle) {
    RecordingEffect& effect = make();
    AEffect* r = record(effect);
    auto* editor = new RecordingEditor(&effect);
    effect.setEditor(editor);

    dispatch(r, effEditIdle);
    EXPECT_EQ(editor->updates, 0);
    editor->postUpdate();
    editor->postUpdate();
    dispatch(r, effEditIdle);
    EXPECT_EQ(editor->updates, 1);
    dispatch(r, effEditIdle);
    EXPECT_EQ(editor->updates, 1);

    // The request does not depend on the window being open.
    dispatch(r, effEditOpen, 0, 0, &windowHandle);
    dispatch(r, effEditClose);
    editor->postUpdate();
    dispatch(r, effEditIdle);
    EXPECT_EQ(editor->updates, 2);
}

}  // namespace
