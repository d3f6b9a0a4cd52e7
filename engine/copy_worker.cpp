#include "engine/copy_worker.hpp"

#include <cassert>
#include <cstdint>

namespace {

// About as long as a large block takes to copy.
constexpr std::uint64_t spin_limit = 200;

} // namespace

copy_worker::~copy_worker()
{
    stop();
}

bool copy_worker::start()
{
    assert(!running_);
    running_ = start_thread(thread_, work, this);
    return running_;
}

void copy_worker::stop()
{
    if (!running_)
        return;
    stopping_.store(true, std::memory_order_release);
    wake(worker_sleeps_);
    join_thread(thread_);
    running_ = false;
}

template <class Ready> void copy_worker::wait_for(Ready ready, bool& sleeping)
{
    // Between its looks, the thread lets any other that is ready to run
    // have its processor: where there are more threads than processors, the
    // one it waits for may be that one.
    const std::uint64_t until = monotonic_microseconds() + spin_limit;
    do {
        for (int i = 0; i < 16; ++i) {
            if (ready())
                return;
            spin_pause();
        }
        yield_processor();
    } while (monotonic_microseconds() < until);
    monitor_.lock();
    sleeping = true;
    while (!ready())
        monitor_.wait();
    sleeping = false;
    monitor_.unlock();
}

// After what the other side waits for is stored: either it sees that, or it
// sleeps by now and is woken.
void copy_worker::wake(const bool& sleeping)
{
    monitor_.lock();
    if (sleeping)
        monitor_.notify_all();
    monitor_.unlock();
}

void copy_worker::give(lane& to)
{
    assert(running_ && to.at.load(std::memory_order_relaxed) == stage::idle);
    to.order = ++given_;
    to.at.store(stage::given, std::memory_order_release);
    wake(worker_sleeps_);
}

void copy_worker::read(std::FILE* stream, unsigned char* into, std::size_t size)
{
    read_job& job = reads_[read_given_];
    job.stream = stream;
    job.into = into;
    job.size = size;
    read_given_ = (read_given_ + 1) % most_reads;
    give(job.state);
}

block_read copy_worker::wait_read()
{
    read_job& job = reads_[read_waited_];
    const auto done = [](const lane& l) {
        return [&l] { return l.at.load(std::memory_order_acquire) != stage::given; };
    };
    assert(job.state.at.load(std::memory_order_relaxed) != stage::idle);
    wait_for(done(job.state), main_sleeps_);
    block_read result = job.result;
    if (result.failed) {
        wait_for(done(writing_), main_sleeps_);
        if (write_failed_.load(std::memory_order_acquire))
            result = {0, false, true};
    }
    job.state.at.store(stage::idle, std::memory_order_relaxed);
    read_waited_ = (read_waited_ + 1) % most_reads;
    return result;
}

void copy_worker::write(output_sink& sink, const unsigned char* bytes, std::size_t size)
{
    sink_ = &sink;
    bytes_ = bytes;
    length_ = size;
    give(writing_);
}

bool copy_worker::wait_write()
{
    wait_for([this] { return writing_.at.load(std::memory_order_acquire) != stage::given; },
             main_sleeps_);
    writing_.at.store(stage::idle, std::memory_order_relaxed);
    return !write_failed_.load(std::memory_order_acquire);
}

void copy_worker::make_read(std::size_t at)
{
    read_job& job = reads_[at];
    if (!write_failed_.load(std::memory_order_relaxed) && !input_over_) {
        job.result = read_stream(job.stream, job.into, job.size);
        input_over_ = job.result.at_end;
    } else {
        job.result = {0, false, true};
    }
    job.state.at.store(stage::done, std::memory_order_release);
}

void copy_worker::make_write()
{
    if (!sink_->write(bytes_, length_))
        write_failed_.store(true, std::memory_order_release);
    writing_.at.store(stage::done, std::memory_order_release);
}

void copy_worker::work(void* self)
{
    copy_worker& w = *static_cast<copy_worker*>(self);
    const auto given = [](const lane& l) {
        return l.at.load(std::memory_order_acquire) == stage::given;
    };
    for (;;) {
        lane& next_read = w.reads_[w.read_made_].state;
        w.wait_for(
            [&] {
                return given(next_read) || given(w.writing_) ||
                       w.stopping_.load(std::memory_order_acquire);
            },
            w.worker_sleeps_);
        const bool read_given = given(next_read);
        const bool write_given = given(w.writing_);
        if (read_given && (!write_given || next_read.order < w.writing_.order)) {
            w.make_read(w.read_made_);
            w.read_made_ = (w.read_made_ + 1) % most_reads;
        } else if (write_given) {
            w.make_write();
        } else {
            break;
        }
        w.wake(w.main_sleeps_);
    }
}
