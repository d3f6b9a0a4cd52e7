#include "engine/char_reader.hpp"

#include <cstdint>
#include <cstring>

#include "engine/kernels.hpp"

text_input make_text_input(std::FILE* stream, unsigned char* buffer, std::size_t block)
{
    text_input in;
    in.stream = stream;
    in.data = buffer;
    in.block = block;
    // The kernel copies a block three to four times slower into memory that
    // is not aligned to 64 bytes. The bytes of an unfinished window wait
    // just before this point.
    const auto address = reinterpret_cast<std::uintptr_t>(buffer) + 2 * window_bytes;
    in.read_at = 2 * window_bytes + (window_bytes - address % window_bytes) % window_bytes;
    in.next = in.end = in.read_at;
    return in;
}

std::size_t refill(text_input& in)
{
    while (!in.ended && in.end - in.next < window_bytes + 3) {
        const std::size_t kept = in.end - in.next;
        std::memmove(in.data + in.read_at - kept, in.data + in.next, kept);
        in.next = in.read_at - kept;
        // A short count from a pipe is not the end: only a read that brings
        // nothing is.
        const std::size_t got = std::fread(in.data + in.read_at, 1, in.block, in.stream);
        in.end = in.read_at + got;
        in.ended = got == 0;
    }
    return in.end - in.next;
}

int read_char(text_input& in, std::uint32_t* value, std::int32_t* length)
{
    const engine_kernel& kernel = kernel_for(engine_instructions);
    input_window& w = in.window;
    if (w.pos == w.length && !kernel.next_window(in))
        return 0;
    // A character cut short by the end of input was dropped with its window,
    // so all of its bytes are here, those of the next window after this one.
    const unsigned char* p = in.data + w.at + w.pos;
    const std::size_t size = char_size(*p);
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < size; ++i)
        packed = (packed << 8) | p[i];
    const std::size_t left = w.length - w.pos;
    if (size <= left) {
        w.pos += static_cast<unsigned>(size);
    } else {
        w.pos = w.length;
        if (!kernel.next_window(in))
            return 0;
        w.pos = static_cast<unsigned>(size - left);
    }
    *value = packed;
    *length = static_cast<std::int32_t>(size);
    return 1;
}
