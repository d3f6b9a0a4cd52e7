#include "engine/period_transcription.hpp"

#include <cassert>
#include <cstring>

#include "engine/kernel.hpp"
#include "engine/periods.hpp"

std::int32_t word_limit = 7;

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

bool hand_over(text_output& out)
{
    if (!out.failed) {
        unsigned char* next = out.sink->take(out.data, out.used);
        if (next != nullptr)
            out.data = next;
        else
            out.failed = true;
    }
    out.used = 0;
    return !out.failed;
}

bool flush_output(text_output& out)
{
    return out.used == 0 ? !out.failed : hand_over(out);
}

bool end_line(text_output& out)
{
    if (out.used > out.flush_at && !hand_over(out))
        return false;
    std::memcpy(out.data + out.used, ";\n", 2);
    out.used += 2;
    return true;
}

int transcribe_periods(text_input& in, text_output& out)
{
    if (word_limit <= 0) {
        // The first character is taken before the limit is looked at, so a
        // limit of 0 or below consumes one character per call.
        std::uint32_t value = 0;
        std::int32_t length = 0;
        const int status = read_char(in, &value, &length);
        return end_line(out) ? status : transcription_write_failed;
    }
    return kernel_for(engine_instructions).transcribe(in, out);
}

int skip_rest_of_period(text_input& in)
{
    return kernel_for(engine_instructions).skip(in);
}

int transcribe_text(text_input& in, text_output& out)
{
    if (word_limit <= 0)
        return alternate_periods([&] { return transcribe_periods(in, out); },
                                 [&] { return skip_rest_of_period(in); });
    return kernel_for(engine_instructions).run(in, out);
}
