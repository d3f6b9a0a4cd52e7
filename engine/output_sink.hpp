#pragma once

// Where the engine's output goes, and the one place that knows how a run
// ended: its first failure, as a run doing every read and write in order, in
// one thread, would meet it.

#include <cstddef>
#include <cstdio>

enum class run_outcome {
    done,
    read_failed,  // the input could not be read to its end
    write_failed, // the output could not be written whole
};

class output_sink {
  public:
    virtual ~output_sink() = default;

    // Takes the `size` bytes at `bytes`, in order after those taken before,
    // and returns the buffer to fill next, of the same capacity: `bytes`
    // itself once they are written, or another while they are. Returns null
    // once a write has failed; nothing is written after that.
    virtual unsigned char* take(unsigned char* bytes, std::size_t size) = 0;

    // The input side met a read error, now: whatever fails after this
    // failed after it.
    virtual void read_failed() = 0;

    // Finishes the writes, flushes the stream, and tells the first failure.
    virtual run_outcome finish() = 0;
};

// Writes each buffer to a stream as it is taken, in the calling thread.
class stream_sink final : public output_sink {
  public:
    explicit stream_sink(std::FILE* stream) : stream_(stream) {}

    unsigned char* take(unsigned char* bytes, std::size_t size) override;
    void read_failed() override;
    run_outcome finish() override;

  private:
    void write_failed();

    std::FILE* stream_;
    run_outcome first_ = run_outcome::done;
    bool write_failed_ = false;
};
