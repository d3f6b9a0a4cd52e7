#include "engine/writer_thread.hpp"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace {

constexpr std::size_t none = SIZE_MAX;

} // namespace

// What the two threads share, under the mutex.
struct writer_thread_sink::shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::FILE* stream = nullptr;
    const unsigned char* data = nullptr; // the buffer being written, while `busy`
    std::size_t size = 0;
    bool busy = false;
    bool stopping = false;
    std::size_t handed = 0;          // buffers handed to the thread
    std::size_t first_failed = none; // the first of them it could not write
    std::size_t handed_at_read_failure = none;
    std::unique_ptr<unsigned char[]> own; // the second buffer
    unsigned char* spare = nullptr;       // the buffer not being written
    std::thread thread;

    void write_buffers()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (std::size_t done = 0;; ++done) {
            changed.wait(lock, [this] { return busy || stopping; });
            if (!busy)
                return;
            // Nothing is written after a failed write.
            const bool write = first_failed == none;
            lock.unlock();
            const bool ok = !write || std::fwrite(data, 1, size, stream) == size;
            lock.lock();
            if (!ok)
                first_failed = done;
            busy = false;
            changed.notify_all();
        }
    }
};

std::unique_ptr<writer_thread_sink> writer_thread_sink::start(std::size_t capacity)
{
    try {
        auto s = std::make_unique<shared>();
        s->own = std::make_unique_for_overwrite<unsigned char[]>(capacity);
        s->spare = s->own.get();
        std::unique_ptr<writer_thread_sink> sink(new writer_thread_sink(std::move(s)));
        shared* state = sink->s_.get();
        state->thread = std::thread([state] { state->write_buffers(); });
        return sink;
    } catch (...) {
        // No memory (bad_alloc) or no thread (system_error): the caller
        // writes in its own thread.
        return nullptr;
    }
}

writer_thread_sink::writer_thread_sink(std::unique_ptr<shared> s) : s_(std::move(s)) {}

writer_thread_sink::~writer_thread_sink()
{
    if (!s_->thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(s_->mutex);
        s_->stopping = true;
    }
    s_->changed.notify_all();
    s_->thread.join();
}

void writer_thread_sink::write_to(std::FILE* stream)
{
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->stream = stream;
}

unsigned char* writer_thread_sink::take(unsigned char* bytes, std::size_t size)
{
    std::unique_lock<std::mutex> lock(s_->mutex);
    s_->changed.wait(lock, [this] { return !s_->busy; });
    if (s_->first_failed != none)
        return nullptr;
    s_->data = bytes;
    s_->size = size;
    s_->busy = true;
    ++s_->handed;
    s_->changed.notify_all();
    // The buffer written last is free again.
    return std::exchange(s_->spare, bytes);
}

void writer_thread_sink::read_failed()
{
    std::lock_guard<std::mutex> lock(s_->mutex);
    if (s_->handed_at_read_failure == none)
        s_->handed_at_read_failure = s_->handed;
}

run_outcome writer_thread_sink::finish()
{
    std::unique_lock<std::mutex> lock(s_->mutex);
    s_->changed.wait(lock, [this] { return !s_->busy; });
    // In one thread, a buffer handed over before the read failed would
    // have been written, or failed, before it.
    if (s_->first_failed < s_->handed_at_read_failure)
        return run_outcome::write_failed;
    if (s_->handed_at_read_failure != none)
        return run_outcome::read_failed;
    return std::fflush(s_->stream) == 0 ? run_outcome::done : run_outcome::write_failed;
}
