#include "engine/char_reader.hpp"

#include <cstring>

text_input make_text_input(std::FILE* stream, unsigned char* buffer, std::size_t block)
{
    text_input in;
    in.stream = stream;
    in.data = buffer;
    in.block = block;
    return in;
}

bool refill(text_input& in)
{
    if (in.ended)
        return false;
    const std::size_t kept = in.end - in.pos;
    std::memmove(in.data, in.data + in.pos, kept);
    in.pos = 0;
    in.end = kept;
    // A short count from a pipe is not the end: only a read that brings
    // nothing is.
    const std::size_t got = std::fread(in.data + kept, 1, in.block, in.stream);
    in.end += got;
    if (got == 0)
        in.ended = true;
    return got != 0;
}

int read_char(text_input& in, std::uint32_t* value, std::int32_t* length)
{
    if (in.pos == in.end && !refill(in))
        return 0;
    const std::size_t size = char_size(in.data[in.pos]);
    while (in.end - in.pos < size) {
        if (!refill(in)) {
            in.pos = in.end;
            return 0;
        }
    }
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < size; ++i)
        packed = (packed << 8) | in.data[in.pos + i];
    in.pos += size;
    *value = packed;
    *length = static_cast<std::int32_t>(size);
    return 1;
}
