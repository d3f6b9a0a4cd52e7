#pragma once

// Copies made beside the engine by a thread of their own: the input's next
// block read while the engine condenses the one before, and the output's
// last piece written while the engine fills the next. The engine waits for
// a copy only when it needs what the copy gives: the block it is to
// condense, or the buffer a piece was written from.
//
// The copies are made one at a time, in the order they were given. A
// failure is told as the run would meet it with no thread: nothing is read
// once a write has failed, nothing written after it, and a read is taken to
// come after every write given before its result was asked for.

#include <atomic>
#include <cstddef>
#include <cstdio>

#include "engine/output_sink.hpp"
#include "engine/threads.hpp"

// What a read of a block brought.
struct block_read {
    std::size_t got = 0;
    bool failed = false; // ferror on the stream
    bool at_end = false; // nothing more to read: its end, a failure, or a write failed
};

class copy_worker {
  public:
    copy_worker() = default;
    ~copy_worker();
    copy_worker(const copy_worker&) = delete;
    copy_worker& operator=(const copy_worker&) = delete;

    // Starts the thread; false if none could be made: then nothing may be
    // given to it.
    bool start();
    // Waits for the copies given, and ends the thread.
    void stop();

    // Reads up to `size` bytes of `stream` into `into`, as fread does, unless
    // a write has failed by then. The read given before must have been
    // waited for.
    void read(std::FILE* stream, unsigned char* into, std::size_t size);
    // Waits for the read given and tells what it brought. One that failed
    // after a write given before this call failed was not needed: the
    // write's failure came first, and it reads as the end of the input.
    block_read wait_read();

    // Writes `size` bytes at `bytes` through `sink`. The write given before
    // must have been waited for.
    void write(output_sink& sink, const unsigned char* bytes, std::size_t size);
    // Waits for the write given; false once a write has failed.
    bool wait_write();
    // True once a write has failed, without waiting for the one under way.
    bool write_failed();

  private:
    enum class stage { idle, given, done };
    struct lane {
        std::atomic<stage> at = stage::idle;
        unsigned long long order = 0; // when it was given, to take the lanes in turn
    };

    static void work(void* self);
    void give(lane& to);
    template <class Ready> void wait_for(Ready ready, bool& sleeping);
    void wake(const bool& sleeping);
    void make_read();
    void make_write();

    // Each side waits for the other spinning a while before it sleeps: a
    // copy or a block's work takes tens of microseconds, and a thread put
    // to sleep takes as long again to wake, more in a virtual machine.
    monitor monitor_;
    bool main_sleeps_ = false;   // with the monitor held
    bool worker_sleeps_ = false; // with the monitor held
    thread_handle thread_;
    bool running_ = false;
    std::atomic<bool> stopping_ = false;
    unsigned long long given_ = 0;

    // Each lane's copy, set by the main thread while the lane is idle, and
    // its result by the worker before the lane is done.
    lane reading_;
    std::FILE* stream_ = nullptr;
    unsigned char* into_ = nullptr;
    std::size_t size_ = 0;
    block_read read_;

    lane writing_;
    output_sink* sink_ = nullptr;
    const unsigned char* bytes_ = nullptr;
    std::size_t length_ = 0;
    std::atomic<bool> write_failed_ = false;
};
