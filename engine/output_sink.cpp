#include "engine/output_sink.hpp"

#include <algorithm>

#include "engine/text_mode.hpp"

bool output_sink::write(const unsigned char* bytes, std::size_t size)
{
    if (staging_ == nullptr)
        return put(bytes, size);
    const std::size_t piece = text_mode_write_fits(staging_size_);
    for (std::size_t done = 0; done < size; done += piece)
        if (!put(staging_,
                 text_mode_write_pass(bytes + done, std::min(piece, size - done), staging_)))
            return false;
    return !write_failed_;
}

bool output_sink::put(const unsigned char* bytes, std::size_t size)
{
    if (!write_failed_ && std::fwrite(bytes, 1, size, stream_) != size)
        write_failed_ = true;
    return !write_failed_;
}
