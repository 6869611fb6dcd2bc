// The POSIX thread calls that the statically linked C++ runtime makes (locale
// set-up, the exception memory pool, guarded statics, emulated thread-locals),
// answered with Windows primitives that live in the DLL's own image.
//
// MinGW-w64's winpthreads, linked in statically, takes a TLS slot and a
// record of the calling thread that it never gives back. A process that
// loaded and freed the DLL about 1,085 times ran out of TLS slots, and
// winpthreads then aborted the process. Defining these calls here keeps
// winpthreads out of the DLL (the link fails if the runtime ever needs a
// call that is not here), and what they hold is released on unload.
#include "boundary/windows_thread_primitives.h"

#include <windows.h>

#include <pthread.h>

#include <cerrno>
#include <cstdint>

namespace {

// Mutexes: a pthread_mutex_t holds a static initialiser (a negative value)
// until its first use, then the address of a slot of this pool. The runtime
// makes a handful; the pool is in the image, so unloading frees it.
struct MutexSlot {
    SRWLOCK lock;
    DWORD owner;
    unsigned depth;
    bool recursive;
    volatile LONG in_use;
};
constexpr int kMutexSlots = 64;
MutexSlot mutex_slots[kMutexSlots];

MutexSlot* claim_mutex_slot(bool recursive) {
    for (MutexSlot& slot : mutex_slots) {
        if (InterlockedCompareExchange(&slot.in_use, 1, 0) == 0) {
            slot.lock = SRWLOCK_INIT;
            slot.owner = 0;
            slot.depth = 0;
            slot.recursive = recursive;
            return &slot;
        }
    }
    return nullptr;
}

void release_mutex_slot(MutexSlot* slot) { InterlockedExchange(&slot->in_use, 0); }

volatile LONG64* word_of(intptr_t* value) { return reinterpret_cast<volatile LONG64*>(value); }

// The mutex's slot, claimed and published on first use; null when the pool is spent.
MutexSlot* slot_of(pthread_mutex_t* mutex) {
    const LONG64 seen = InterlockedCompareExchange64(word_of(mutex), 0, 0);
    if (seen > 0) return reinterpret_cast<MutexSlot*>(seen);
    MutexSlot* slot = claim_mutex_slot(seen == GENERIC_RECURSIVE_INITIALIZER);
    if (slot == nullptr) return nullptr;
    const LONG64 published =
        InterlockedCompareExchange64(word_of(mutex), reinterpret_cast<LONG64>(slot), seen);
    if (published == seen) return slot;
    release_mutex_slot(slot);  // another thread was first
    return reinterpret_cast<MutexSlot*>(published);
}

// Condition variables live in the pthread_cond_t itself, which has the size
// of a CONDITION_VARIABLE; its static initialiser becomes the zero state.
CONDITION_VARIABLE* condition_of(pthread_cond_t* condition) {
    InterlockedCompareExchange64(word_of(condition), 0, GENERIC_INITIALIZER);
    return reinterpret_cast<CONDITION_VARIABLE*>(condition);
}

// Keys: one TLS slot each, with the destructor a thread's end runs.
struct KeySlot {
    DWORD index;
    void (*destructor)(void*);
    volatile LONG in_use;
};
constexpr int kKeySlots = 16;
constexpr int kDestructorRounds = 4;  // PTHREAD_DESTRUCTOR_ITERATIONS
KeySlot key_slots[kKeySlots];

}  // namespace

extern "C" {

int pthread_once(pthread_once_t* once, void (*function)(void)) {
    enum : LONG { NotRun = 0, Running = 1, Done = 2 };
    if (InterlockedCompareExchange(once, Running, NotRun) == NotRun) {
        function();
        InterlockedExchange(once, Done);
        return 0;
    }
    while (InterlockedCompareExchange(once, Done, Done) != Done) SwitchToThread();
    return 0;
}

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attributes) {
    const bool recursive = attributes != nullptr && (*attributes & 3) == PTHREAD_MUTEX_RECURSIVE;
    MutexSlot* slot = claim_mutex_slot(recursive);
    if (slot == nullptr) return EAGAIN;
    *mutex = reinterpret_cast<pthread_mutex_t>(slot);
    return 0;
}

int pthread_mutex_destroy(pthread_mutex_t* mutex) {
    if (*mutex > 0) release_mutex_slot(reinterpret_cast<MutexSlot*>(*mutex));
    *mutex = PTHREAD_MUTEX_INITIALIZER;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    MutexSlot* slot = slot_of(mutex);
    if (slot == nullptr) return EAGAIN;
    const DWORD self = GetCurrentThreadId();
    if (slot->recursive && slot->owner == self) {
        ++slot->depth;
        return 0;
    }
    AcquireSRWLockExclusive(&slot->lock);
    slot->owner = self;
    slot->depth = 1;
    return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
    MutexSlot* slot = slot_of(mutex);
    if (slot == nullptr) return EPERM;
    if (--slot->depth > 0) return 0;
    slot->owner = 0;
    ReleaseSRWLockExclusive(&slot->lock);
    return 0;
}

int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
    MutexSlot* slot = slot_of(mutex);
    if (slot == nullptr) return EINVAL;
    // The lock is given up whole while waiting, however deep a recursive owner holds it.
    const unsigned depth = slot->depth;
    slot->owner = 0;
    slot->depth = 0;
    const BOOL woken = SleepConditionVariableSRW(condition_of(condition), &slot->lock, INFINITE, 0);
    slot->owner = GetCurrentThreadId();
    slot->depth = depth;
    return woken ? 0 : EINVAL;
}

int pthread_cond_broadcast(pthread_cond_t* condition) {
    WakeAllConditionVariable(condition_of(condition));
    return 0;
}

int pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    const DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES) return EAGAIN;
    for (unsigned slot = 0; slot < kKeySlots; ++slot) {
        if (InterlockedCompareExchange(&key_slots[slot].in_use, 1, 0) == 0) {
            key_slots[slot].index = index;
            key_slots[slot].destructor = destructor;
            *key = slot;
            return 0;
        }
    }
    TlsFree(index);
    return EAGAIN;
}

void* pthread_getspecific(pthread_key_t key) {
    if (key >= kKeySlots || key_slots[key].in_use == 0) return nullptr;
    // TlsGetValue clears the last error, which a caller may be about to read.
    const DWORD last_error = GetLastError();
    void* value = TlsGetValue(key_slots[key].index);
    SetLastError(last_error);
    return value;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
    if (key >= kKeySlots || key_slots[key].in_use == 0) return EINVAL;
    return TlsSetValue(key_slots[key].index, const_cast<void*>(value)) ? 0 : ENOMEM;
}

}  // extern "C"

namespace mrv {

void release_thread_values() {
    for (int round = 0; round < kDestructorRounds; ++round) {
        bool ran = false;
        for (KeySlot& slot : key_slots) {
            if (slot.in_use == 0 || slot.destructor == nullptr) continue;
            void* value = TlsGetValue(slot.index);
            if (value == nullptr) continue;
            TlsSetValue(slot.index, nullptr);
            slot.destructor(value);
            ran = true;
        }
        if (!ran) return;
    }
}

}  // namespace mrv

namespace {

// Constructed before every other static object of the DLL, so destroyed
// after them all, when nothing can use a key any more: gives back the
// unloading thread's values and every TLS slot.
struct KeysOfThisImage {
    ~KeysOfThisImage() {
        mrv::release_thread_values();
        for (KeySlot& slot : key_slots) {
            if (slot.in_use == 0) continue;
            TlsFree(slot.index);
            slot.in_use = 0;
        }
    }
};
__attribute__((init_priority(101))) KeysOfThisImage keys_of_this_image;

}  // namespace
