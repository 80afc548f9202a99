#include "vst/bridge/myhost.h"

#include <cstring>

#include "vst/base/AEffEditor.h"

int myhost::detach(axo_plugin_i*) {
    editor_ = nullptr;
    return 1;
}

int myhost::refresh_editor(intptr_t) {
    if (editor_ == nullptr) return 0;
    editor_->postUpdate();
    return 1;
}

int myhost::offer(const char* key, void* object, int) {
    if (key == nullptr || std::strcmp(key, "effeditor") != 0) return 0;
    editor_ = static_cast<AEffEditor*>(object);
    return 1;
}
