#pragma once

// Copies made beside the engine by a thread of their own: the input's next
// block read while the engine condenses the one before, and the output's
// last piece written while the engine fills the next. The engine waits for
// a copy only when it needs what the copy gives: the block it is to
// condense, or the buffer a piece was written from.
//
// The copies are made one at a time, the reads in the order they were
// given, and a read and a write that both wait about in that order too. A
// failure is told as the run would meet it with no thread: nothing is read
// once a write has failed, nothing written after it, and a read is taken to
// come after every write given before its result was asked for.

#include <atomic>
#include <cstddef>
#include <cstdio>

#include "engine/output_sink.hpp"
#include "engine/text_input.hpp"
#include "engine/threads.hpp"

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

    // How many reads may be given before the first is waited for: the
    // worker reads ahead of the engine by as many blocks, so that it can
    // fall behind for a while (waking up, say) without the engine waiting.
    static constexpr std::size_t most_reads = blocks_read_ahead;

    // Reads up to `size` bytes of `stream` into `into`, as fread does, after
    // the reads given before it, unless a write has failed by then, or one
    // of them met the end of the input or failed. At most most_reads may be
    // given and not waited for.
    void read(std::FILE* stream, unsigned char* into, std::size_t size);
    // Waits for the first read given and not yet waited for, and tells what
    // it brought. One that failed after a write given before this call
    // failed was not needed: the write's failure came first, and it reads as
    // the end of the input.
    block_read wait_read();

    // Writes `size` bytes at `bytes` through `sink`. The write given before
    // must have been waited for.
    void write(output_sink& sink, const unsigned char* bytes, std::size_t size);
    // Waits for the write given; false once a write has failed.
    bool wait_write();

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
    void make_read(std::size_t job);
    void make_write();

    // Each side waits for the other spinning a while before it sleeps: a
    // copy or a block's work takes a few hundred microseconds, and a thread
    // put to sleep may take as long again to wake in a virtual machine.
    monitor monitor_;
    bool main_sleeps_ = false;   // with the monitor held
    bool worker_sleeps_ = false; // with the monitor held
    thread_handle thread_;
    bool running_ = false;
    std::atomic<bool> stopping_ = false;
    unsigned long long given_ = 0;

    // Each lane's copy, set by the main thread while the lane is idle, and
    // its result by the worker before the lane is done. The reads are a
    // ring, given, made and waited for in turn.
    struct read_job {
        lane state;
        std::FILE* stream = nullptr;
        unsigned char* into = nullptr;
        std::size_t size = 0;
        block_read result;
    };
    read_job reads_[most_reads];
    std::size_t read_given_ = 0;  // where the next read is given
    std::size_t read_waited_ = 0; // the read waited for next
    std::size_t read_made_ = 0;   // the read the worker makes next
    bool input_over_ = false;     // the worker's: a read met the end or failed

    lane writing_;
    output_sink* sink_ = nullptr;
    const unsigned char* bytes_ = nullptr;
    std::size_t length_ = 0;
    std::atomic<bool> write_failed_ = false;
};
