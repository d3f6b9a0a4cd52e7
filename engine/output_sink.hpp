#pragma once

// Where the engine's output goes.

#include <cassert>
#include <cstddef>
#include <cstdio>

#include "engine/text_mode.hpp"

class output_sink {
  public:
    // Writes to `stream`. The engine hands over large pieces, so the stream
    // needs no buffer of its own; without one, a write that failed is not
    // tried again when the stream is closed.
    explicit output_sink(std::FILE* stream) : stream_(stream) {}

    // Writes to `stream`, opened in binary mode, what Windows text mode
    // would store: each LF as CR LF. The bytes are stored that way in
    // `staging`, of `staging_size` bytes (text_mode_write_room of a piece), a
    // piece at a time.
    output_sink(std::FILE* stream, unsigned char* staging, std::size_t staging_size)
        : stream_(stream), staging_(staging), staging_size_(staging_size)
    {
        // Room for one byte at least, or the output would never go out.
        assert(text_mode_write_fits(staging_size) > 0);
    }

    // Writes the `size` bytes at `bytes` after those written before. False
    // once a write has failed: nothing is written after that.
    bool write(const unsigned char* bytes, std::size_t size);

    // True once a write has failed.
    bool write_failed() const
    {
        return write_failed_;
    }

  private:
    bool put(const unsigned char* bytes, std::size_t size);

    std::FILE* stream_;
    unsigned char* staging_ = nullptr;
    std::size_t staging_size_ = 0;
    bool write_failed_ = false;
};
