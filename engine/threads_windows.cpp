// The threads of Windows, from KERNEL32 alone.
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <windows.h>

#include "engine/threads.hpp"

namespace {

struct native_monitor {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

native_monitor& native(unsigned char* storage)
{
    return *std::launder(reinterpret_cast<native_monitor*>(storage));
}

DWORD WINAPI started(void* handle)
{
    const thread_handle& thread = *static_cast<thread_handle*>(handle);
    thread.run(thread.argument);
    return 0;
}

} // namespace

monitor::monitor()
{
    static_assert(sizeof(native_monitor) <= sizeof(native_));
    new (native_) native_monitor;
}

monitor::~monitor() = default;

void monitor::lock()
{
    AcquireSRWLockExclusive(&native(native_).lock);
}

void monitor::unlock()
{
    ReleaseSRWLockExclusive(&native(native_).lock);
}

void monitor::wait()
{
    SleepConditionVariableSRW(&native(native_).condition, &native(native_).lock, INFINITE, 0);
}

void monitor::notify_all()
{
    WakeAllConditionVariable(&native(native_).condition);
}

bool start_thread(thread_handle& thread, void (*run)(void*), void* argument)
{
    static_assert(sizeof(HANDLE) <= sizeof(thread.native));
    thread.run = run;
    thread.argument = argument;
    // The copies need little stack; it is only reserved.
    const HANDLE made = CreateThread(nullptr, 1024 * 1024, started, &thread,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (made == nullptr)
        return false;
    std::memcpy(thread.native, &made, sizeof made);
    return true;
}

void join_thread(thread_handle& thread)
{
    HANDLE made;
    std::memcpy(&made, thread.native, sizeof made);
    WaitForSingleObject(made, INFINITE);
    CloseHandle(made);
}

void spin_pause()
{
    YieldProcessor();
}

std::uint64_t monotonic_microseconds()
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    // In whole seconds and what is left, so that the product cannot
    // overflow however long the machine has run.
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    const auto per_second = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / per_second * 1000000 + ticks % per_second * 1000000 / per_second;
}

void yield_processor()
{
    SwitchToThread();
}
