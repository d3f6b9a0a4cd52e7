// Writing the output from a second thread. The kernel takes about as long to
// store the output as the engine takes to make it; with a thread of its own
// for the writes, the two go on side by side. The writes are the same, in the
// same order, and stop at the first that fails.
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/kernels.hpp"
#include "engine/period_transcription.hpp"

struct background_writer {
    std::FILE* stream = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    const unsigned char* data = nullptr; // the buffer being written, if `busy`
    std::size_t size = 0;
    bool busy = false;
    bool stopping = false;
    std::size_t written = 0; // buffers done with
    std::size_t first_failed = SIZE_MAX;
    std::thread thread;

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return busy || stopping; });
            if (!busy)
                return;
            const bool failed_before = first_failed != SIZE_MAX;
            lock.unlock();
            const bool ok = failed_before || std::fwrite(data, 1, size, stream) == size;
            lock.lock();
            if (!ok)
                first_failed = written;
            ++written;
            busy = false;
            changed.notify_all();
        }
    }

    // Waits for the buffer being written, if any, and tells `out` whether
    // every write so far succeeded.
    bool wait(std::unique_lock<std::mutex>& lock, text_output& out)
    {
        changed.wait(lock, [this] { return !busy; });
        if (first_failed != SIZE_MAX) {
            out.first_failed = first_failed;
            out.failed = true;
        }
        return !out.failed;
    }
};

bool start_background_writes(text_output& out, unsigned char* spare)
{
    auto* writer = new (std::nothrow) background_writer;
    if (writer == nullptr)
        return false;
    writer->stream = out.stream;
    try {
        writer->thread = std::thread([writer] { writer->run(); });
    } catch (const std::system_error&) {
        delete writer;
        return false;
    }
    out.writer = writer;
    out.spare = spare;
    return true;
}

bool hand_over(text_output& out)
{
    background_writer* writer = out.writer;
    if (writer == nullptr)
        return flush_output(out);
    std::unique_lock<std::mutex> lock(writer->mutex);
    writer->wait(lock, out);
    if (!out.failed && out.used > 0) {
        writer->data = out.data;
        writer->size = out.used;
        writer->busy = true;
        ++out.handed;
        std::swap(out.data, out.spare);
        writer->changed.notify_all();
    }
    out.used = 0;
    return !out.failed;
}

bool wait_for_writes(text_output& out)
{
    if (out.writer == nullptr)
        return !out.failed;
    std::unique_lock<std::mutex> lock(out.writer->mutex);
    return out.writer->wait(lock, out);
}

bool end_background_writes(text_output& out)
{
    background_writer* writer = out.writer;
    if (writer == nullptr)
        return !out.failed;
    {
        std::unique_lock<std::mutex> lock(writer->mutex);
        writer->wait(lock, out);
        writer->stopping = true;
        writer->changed.notify_all();
    }
    writer->thread.join();
    out.writer = nullptr;
    delete writer;
    return !out.failed;
}

bool write_failed_within(const text_output& out, std::size_t buffers)
{
    return out.first_failed < buffers;
}
