#include "engine/period_transcription.hpp"

#include <bit>
#include <cstring>

#include "engine/kernels.hpp"

std::int32_t word_limit = 7;

text_output make_text_output(std::FILE* stream, unsigned char* buffer, std::size_t capacity)
{
    text_output out;
    out.stream = stream;
    out.data = buffer;
    out.capacity = capacity;
    return out;
}

bool flush_output(text_output& out)
{
    if (out.writer != nullptr)
        return hand_over(out) && wait_for_writes(out);
    if (!out.failed && out.used > 0 && std::fwrite(out.data, 1, out.used, out.stream) != out.used)
        out.failed = true;
    out.used = 0;
    return !out.failed;
}

bool write_bytes(text_output& out, const unsigned char* bytes, std::size_t count)
{
    if (count > out.capacity - out.used) {
        if (!flush_output(out))
            return false;
        // A piece as large as the buffer goes straight out.
        if (count >= out.capacity) {
            if (std::fwrite(bytes, 1, count, out.stream) != count)
                out.failed = true;
            return !out.failed;
        }
    }
    std::memcpy(out.data + out.used, bytes, count);
    out.used += count;
    return true;
}

bool end_line(text_output& out)
{
    static const unsigned char line_end[] = {';', '\n'};
    return write_bytes(out, line_end, sizeof line_end);
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
    // Most often the ';' is in the window at hand: no need to call the build
    // of the inner loop for that.
    input_window& w = in.window;
    if (w.pos < w.length) {
        const std::uint64_t semicolons = w.semicolons & ~std::uint64_t{0} << w.pos;
        if (semicolons != 0) {
            w.pos = static_cast<unsigned>(std::countr_zero(semicolons)) + 1;
            return 1;
        }
    }
    return kernel_for(engine_instructions).skip(in);
}

int transcribe_text(text_input& in, text_output& out)
{
    // The one pass wants room for a window's output in the buffer.
    if (word_limit <= 0 || out.capacity < window_output_room)
        return alternate_periods([&] { return transcribe_periods(in, out); },
                                 [&] { return skip_rest_of_period(in); });
    return kernel_for(engine_instructions).run(in, out);
}
