#include "engine/period_transcription.hpp"

#include <cstring>

#include "engine/byte_scan.hpp"

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
    if (!out.failed && out.used > 0 && std::fwrite(out.data, 1, out.used, out.stream) != out.used)
        out.failed = true;
    out.used = 0;
    return !out.failed;
}

namespace {

bool write_bytes(text_output& out, const unsigned char* bytes, std::size_t count)
{
    if (count > out.capacity - out.used) {
        if (!flush_output(out))
            return false;
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

} // namespace

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

    std::int32_t words_done = 0;
    bool after_separator = true;
    int status = 0;
    for (;;) {
        const unsigned char* const start = in.data + in.pos;
        const run_end run = scan_run<run_stop::semicolon_or_separator>(start, in.data + in.end);
        if (run.at != start) {
            after_separator = false;
            if (!write_bytes(out, start, static_cast<std::size_t>(run.at - start)))
                return transcription_write_failed;
        }
        in.pos = static_cast<std::size_t>(run.at - in.data);
        if (!run.found) {
            if (refill(in))
                continue;
            in.pos = in.end; // a character cut short by the end is dropped
            break;
        }
        const unsigned char byte = in.data[in.pos++];
        if (byte == ';') {
            if (!end_line(out))
                return transcription_write_failed;
            words_done = 0;
            after_separator = true;
        } else if (!after_separator) {
            // A word counts when a separator ends it; at the limit the input
            // stays just after that separator, for the skipper.
            if (++words_done >= word_limit) {
                status = 1;
                break;
            }
            static const unsigned char space = ' ';
            if (!write_bytes(out, &space, 1))
                return transcription_write_failed;
            after_separator = true;
        }
    }
    return end_line(out) ? status : transcription_write_failed;
}

int skip_rest_of_period(text_input& in)
{
    for (;;) {
        const run_end run = scan_run<run_stop::semicolon>(in.data + in.pos, in.data + in.end);
        in.pos = static_cast<std::size_t>(run.at - in.data);
        if (run.found) {
            ++in.pos;
            return 1;
        }
        if (!refill(in)) {
            in.pos = in.end;
            return 0;
        }
    }
}
