#include "axo_lock.h"

#ifdef _WIN32

axo_lock::axo_lock() {
    InitializeCriticalSection(&section_);
}
axo_lock::~axo_lock() {
    DeleteCriticalSection(&section_);
}
void axo_lock::lock() {
    EnterCriticalSection(&section_);
}
void axo_lock::unlock() {
    LeaveCriticalSection(&section_);
}

#else

axo_lock::axo_lock() = default;
axo_lock::~axo_lock() = default;
void axo_lock::lock() {
    mutex_.lock();
}
void axo_lock::unlock() {
    mutex_.unlock();
}

#endif
