// The threads of a POSIX system.
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <pthread.h>
#include <sched.h>

#include "engine/threads.hpp"

namespace {

struct native_monitor {
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t condition = PTHREAD_COND_INITIALIZER;
};

native_monitor& native(unsigned char* storage)
{
    return *std::launder(reinterpret_cast<native_monitor*>(storage));
}

void* started(void* handle)
{
    const thread_handle& thread = *static_cast<thread_handle*>(handle);
    thread.run(thread.argument);
    return nullptr;
}

} // namespace

monitor::monitor()
{
    static_assert(sizeof(native_monitor) <= sizeof(native_));
    new (native_) native_monitor;
}

monitor::~monitor()
{
    pthread_cond_destroy(&native(native_).condition);
    pthread_mutex_destroy(&native(native_).lock);
}

void monitor::lock()
{
    pthread_mutex_lock(&native(native_).lock);
}

void monitor::unlock()
{
    pthread_mutex_unlock(&native(native_).lock);
}

void monitor::wait()
{
    pthread_cond_wait(&native(native_).condition, &native(native_).lock);
}

void monitor::notify_all()
{
    pthread_cond_broadcast(&native(native_).condition);
}

bool start_thread(thread_handle& thread, void (*run)(void*), void* argument)
{
    static_assert(sizeof(pthread_t) <= sizeof(thread.native));
    thread.run = run;
    thread.argument = argument;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    // The copies need little stack, a sanitizer's checks of them more; it
    // is only reserved.
    pthread_attr_setstacksize(&attributes, 1024 * 1024);
    pthread_t id;
    const int made = pthread_create(&id, &attributes, started, &thread);
    pthread_attr_destroy(&attributes);
    if (made != 0)
        return false;
    std::memcpy(thread.native, &id, sizeof id);
    return true;
}

void join_thread(thread_handle& thread)
{
    pthread_t id;
    std::memcpy(&id, thread.native, sizeof id);
    pthread_join(id, nullptr);
}

void spin_pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

std::uint64_t monotonic_microseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000 +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

void yield_processor()
{
    sched_yield();
}
