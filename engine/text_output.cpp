#include "engine/text_output.hpp"

#include <cassert>

text_output make_text_output(output_sink& sink, unsigned char* buffer, std::size_t capacity,
                             std::size_t flush_at)
{
    assert(capacity >= window_output_room);
    text_output out;
    out.sink = &sink;
    out.data = buffer;
    out.flush_at =
        flush_at < capacity - window_output_room ? flush_at : capacity - window_output_room;
    return out;
}

bool flush_output(text_output& out)
{
    const bool written = out.sink->write(out.data, out.used);
    out.used = 0;
    return written;
}

bool end_line(text_output& out)
{
    if (must_hand_over(out, out.data + out.used) && !flush_output(out))
        return false;
    put_line_end(out.data + out.used);
    out.used += 2;
    return true;
}
