#include "glue/dummy_host.h"

int dummy_host::attach(axo_plugin_i*) {
    return 1;
}

int dummy_host::detach(axo_plugin_i*) {
    return 1;
}

int dummy_host::reserved_1(intptr_t) {
    return 0;
}

int dummy_host::reserved_2(intptr_t) {
    return 0;
}

int dummy_host::refresh_editor(intptr_t) {
    return 0;
}

int dummy_host::offer(const char*, void*, int) {
    return 0;
}
