#include "engine/text_output.hpp"

#include <cassert>
#include <utility>

#include "engine/copy_worker.hpp"

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

void write_behind(text_output& out, copy_worker& worker, unsigned char* spare)
{
    out.worker = &worker;
    out.spare = spare;
}

bool flush_output(text_output& out)
{
    const std::size_t size = out.used;
    out.used = 0;
    if (out.worker == nullptr)
        return out.sink->write(out.data, size);
    // The spare buffer is free once the piece written from it is out.
    if (!out.worker->wait_write())
        return false;
    out.worker->write(*out.sink, out.data, size);
    std::swap(out.data, out.spare);
    return true;
}

bool finish_output(text_output& out)
{
    const bool handed_over = flush_output(out);
    return out.worker == nullptr ? handed_over : out.worker->wait_write();
}

bool end_line(text_output& out)
{
    if (must_hand_over(out, out.data + out.used) && !flush_output(out))
        return false;
    put_line_end(out.data + out.used);
    out.used += 2;
    return true;
}
