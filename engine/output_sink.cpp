#include "engine/output_sink.hpp"

unsigned char* stream_sink::take(unsigned char* bytes, std::size_t size)
{
    if (!write_failed_ && std::fwrite(bytes, 1, size, stream_) != size)
        write_failed();
    return write_failed_ ? nullptr : bytes;
}

void stream_sink::read_failed()
{
    if (first_ == run_outcome::done)
        first_ = run_outcome::read_failed;
}

run_outcome stream_sink::finish()
{
    // A stream whose write failed may still hold bytes it would try again.
    if (!write_failed_ && std::fflush(stream_) != 0)
        write_failed();
    return first_;
}

void stream_sink::write_failed()
{
    write_failed_ = true;
    if (first_ == run_outcome::done)
        first_ = run_outcome::write_failed;
}
