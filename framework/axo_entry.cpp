#include "axo_entry.h"

extern "C" axo_factory_i* get_axoi(int flag) {
    // Non-zero flags are kept free for later versions of the entry point.
    if (flag != 0) return nullptr;
    // Nothing may escape into the host: a factory that cannot be made is a null answer.
    try {
        return axo_create_module_factory();
    } catch (...) {
        return nullptr;
    }
}
