#include "vst/bridge/myhost.h"

#include <gtest/gtest.h>

#include "vst/base/AEffEditor.h"

namespace {

struct counting_editor : AEffEditor {
    int updates = 0;
    void update() override { ++updates; }
};

}  // namespace

TEST(HostServices, RefreshReachesOnlyAnEditorOfferedUnderItsExactKey) {
    myhost host;
    counting_editor editor;
    EXPECT_EQ(host.attach(nullptr), 1);
    EXPECT_EQ(host.refresh_editor(0), 0);
    EXPECT_EQ(host.offer("effeditor ", &editor, 4), 0);
    EXPECT_EQ(host.offer("EffEditor", &editor, 4), 0);
    EXPECT_EQ(host.offer(nullptr, &editor, 4), 0);
    EXPECT_EQ(host.refresh_editor(0), 0);
    EXPECT_EQ(host.reserved_1(0) + host.reserved_2(0), 0);

    EXPECT_EQ(host.offer("effeditor", &editor, 0), 1);
    EXPECT_EQ(host.refresh_editor(0), 1);
    EXPECT_EQ(host.refresh_editor(0), 1);
    EXPECT_EQ(editor.updates, 0);  // the redraw waits for the host's idle call
    editor.idle();
    editor.idle();
    EXPECT_EQ(editor.updates, 1);

    EXPECT_EQ(host.detach(nullptr), 1);
    EXPECT_EQ(host.refresh_editor(0), 0);
}
