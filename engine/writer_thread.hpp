#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

#include "engine/output_sink.hpp"

// Writes each buffer from a second thread while the engine fills the next:
// the kernel's writing goes on beside the work. The writes are a
// stream_sink's, in the same order, stopping at the first that fails, and so
// is the outcome.
class writer_thread_sink final : public output_sink {
  public:
    // Starts the thread, with a spare buffer of `capacity` bytes; null when
    // either cannot be had.
    static std::unique_ptr<writer_thread_sink> start(std::size_t capacity);
    ~writer_thread_sink() override;

    // The stream to write to, given before the first buffer.
    void write_to(std::FILE* stream);

    unsigned char* take(unsigned char* bytes, std::size_t size) override;
    void read_failed() override;
    run_outcome finish() override;

  private:
    struct shared;
    explicit writer_thread_sink(std::unique_ptr<shared> s);
    std::unique_ptr<shared> s_;
};
