#pragma once

// The few calls of the platform's threads that the copies made beside the
// engine need, each platform's in its own file (threads_posix.cpp,
// threads_windows.cpp): the C++ library's threads would need its runtime
// library, and mingw-w64's a thread library, at run time.

#include <cstddef>
#include <cstdint>

// A lock and one condition that threads holding it wait on.
class monitor {
  public:
    monitor();
    ~monitor();
    monitor(const monitor&) = delete;
    monitor& operator=(const monitor&) = delete;

    void lock();
    void unlock();
    // Unlocks, waits until notified (or woken for no reason), and locks.
    void wait();
    // Wakes every thread that waits.
    void notify_all();

  private:
    // The platform's lock and condition, which are smaller on all of them.
    alignas(16) unsigned char native_[128];
};

// Tells the processor that the thread is waiting in a loop, which spares
// the resources the loop would take from another.
void spin_pause();

// Lets another thread that is ready to run have this one's processor.
void yield_processor();

// A clock that only goes forward, in microseconds.
std::uint64_t monotonic_microseconds();

// A thread running `run(argument)`, with a small stack: the copies need
// little. False when no thread could be made. The handle holds what the
// thread starts with, so it must outlive the thread.
struct thread_handle {
    void (*run)(void*) = nullptr;
    void* argument = nullptr;
    alignas(8) unsigned char native[16] = {};
};
bool start_thread(thread_handle& thread, void (*run)(void*), void* argument);
// Waits until the thread has returned.
void join_thread(thread_handle& thread);
