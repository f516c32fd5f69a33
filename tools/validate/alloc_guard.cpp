// SPDX-License-Identifier: GPL-3.0-or-later
#include "alloc_guard.h"

#include <algorithm>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QUARVINE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUARVINE_SANITIZED 1
#endif

namespace validate {

namespace {
// Null outside audio sections: the fast path of every interposed call is one TLS load.
thread_local GuardCounts* active = nullptr;
} // namespace

AudioSection::AudioSection(GuardCounts& counts)
{
    active = &counts;
}

AudioSection::~AudioSection()
{
    active = nullptr;
}

GuardPause::GuardPause() : saved(active)
{
    active = nullptr;
}

GuardPause::~GuardPause()
{
    active = saved;
}

void hostCallbackObserver(bool entering)
{
    thread_local GuardCounts* saved = nullptr;
    thread_local int depth = 0;
    if (entering) {
        if (depth++ == 0) {
            saved = active;
            active = nullptr;
        }
    } else if (depth > 0 && --depth == 0) {
        active = saved;
    }
}

#if defined(QUARVINE_SANITIZED) || !defined(__GLIBC__)

bool allocationGuardAvailable()
{
    return false;
}

} // namespace validate

#else

bool allocationGuardAvailable()
{
    return true;
}

} // namespace validate

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>

// glibc's own entry points, which neither allocate nor come back here.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* __libc_memalign(std::size_t, std::size_t);
}

namespace {

inline void countAllocation()
{
    if (validate::active)
        ++validate::active->allocations;
}

inline void countFree(void* pointer)
{
    if (pointer && validate::active)
        ++validate::active->frees;
}

using LockFunction = int (*)(pthread_mutex_t*);
LockFunction realLock = nullptr;
LockFunction realTryLock = nullptr;

// Looked up before main, while one thread runs; dlsym's own allocations go to __libc_calloc.
__attribute__((constructor)) void findLockFunctions()
{
    realLock = reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    realTryLock = reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_trylock"));
}

} // namespace

#define GUARD_EXPORT extern "C" __attribute__((visibility("default")))

GUARD_EXPORT void* malloc(std::size_t size)
{
    countAllocation();
    return __libc_malloc(size);
}

GUARD_EXPORT void* calloc(std::size_t count, std::size_t size)
{
    countAllocation();
    return __libc_calloc(count, size);
}

GUARD_EXPORT void* realloc(void* pointer, std::size_t size)
{
    countAllocation();
    return __libc_realloc(pointer, size);
}

GUARD_EXPORT void free(void* pointer)
{
    countFree(pointer);
    __libc_free(pointer);
}

GUARD_EXPORT void* memalign(std::size_t alignment, std::size_t size)
{
    countAllocation();
    return __libc_memalign(alignment, size);
}

GUARD_EXPORT void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    countAllocation();
    return __libc_memalign(alignment, size);
}

GUARD_EXPORT int posix_memalign(void** out, std::size_t alignment, std::size_t size)
{
    countAllocation();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return 22;  // EINVAL
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer)
        return 12;  // ENOMEM
    *out = pointer;
    return 0;
}

GUARD_EXPORT int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (validate::active)
        ++validate::active->locks;
    if (!realLock)
        findLockFunctions();
    return realLock(mutex);
}

GUARD_EXPORT int pthread_mutex_trylock(pthread_mutex_t* mutex)
{
    if (validate::active)
        ++validate::active->tryLocks;
    if (!realTryLock)
        findLockFunctions();
    return realTryLock(mutex);
}

// operator new reaches malloc in the C++ run-time already; these make the count independent of
// how that run-time is built.
void* operator new(std::size_t size)
{
    if (void* pointer = malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return malloc(size ? size : 1);
}

void* operator new(std::size_t size, std::align_val_t alignment)
{
    countAllocation();
    std::size_t align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    if (void* pointer = __libc_memalign(align, size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return operator new(size, alignment);
}

void operator delete(void* pointer) noexcept
{
    free(pointer);
}

void operator delete[](void* pointer) noexcept
{
    free(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    free(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    free(pointer);
}

void operator delete(void* pointer, std::align_val_t) noexcept
{
    free(pointer);
}

void operator delete[](void* pointer, std::align_val_t) noexcept
{
    free(pointer);
}

void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept
{
    free(pointer);
}

void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept
{
    free(pointer);
}

#endif
