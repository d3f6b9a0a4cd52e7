#include "engine/output_sink.hpp"

bool output_sink::write(const unsigned char* bytes, std::size_t size)
{
    if (!write_failed_ && std::fwrite(bytes, 1, size, stream_) != size) {
        write_failed_ = true;
        if (first_ == run_outcome::done)
            first_ = run_outcome::write_failed;
    }
    return !write_failed_;
}
