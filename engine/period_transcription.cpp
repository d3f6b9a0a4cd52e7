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

const unsigned char space[] = {' '};
const unsigned char line_feed[] = {'\n'};

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

    // The limit cannot change during a call; a local copy keeps the
    // compiler from reloading it after every write through a byte pointer.
    const std::int32_t limit = word_limit;
    std::int32_t words_done = 0;
    bool after_separator = true;
    int status = 0;
    separator_finder find;
    const unsigned char* p = in.data + in.pos;
    const unsigned char* end = in.data + in.end;
    // Where the output is the input byte for byte (words parted by single
    // spaces, a ';' followed by a line feed), it is copied in one piece from
    // `pending` once something differs.
    const unsigned char* pending = p;
    const auto copy_pending = [&](const unsigned char* upto) {
        const bool ok = write_bytes(out, pending, static_cast<std::size_t>(upto - pending));
        pending = upto;
        return ok;
    };
    for (;;) {
        const run_end run = scan_run(p, end, find);
        if (run.at != p)
            after_separator = false;
        p = run.at;
        if (!run.found) {
            if (!copy_pending(p))
                return transcription_write_failed;
            in.pos = static_cast<std::size_t>(p - in.data);
            const bool more = refill(in);
            p = pending = in.data + in.pos;
            end = in.data + in.end;
            find.reset();
            if (more)
                continue;
            p = end; // a character cut short by the end is dropped
            break;
        }
        const unsigned char byte = *p;
        if (byte == ';') {
            ++p;
            // The line feed that often follows would be dropped as the next
            // period's leading separator: let it stand for the one we write.
            if (p < end && *p == '\n') {
                ++p;
            } else if (!copy_pending(p) || !write_bytes(out, line_feed, 1)) {
                return transcription_write_failed;
            }
            words_done = 0;
            after_separator = true;
            continue;
        }
        // A separator. Those that follow it write and count nothing: pass
        // them all at once (a byte after a separator always starts a character).
        const unsigned char* next = p + 1;
        while (next < end && is_separator(*next))
            ++next;
        if (!after_separator) {
            // A word counts when a separator ends it; at the limit the input
            // stays just after that separator, for the skipper.
            if (++words_done >= limit) {
                if (!copy_pending(p))
                    return transcription_write_failed;
                ++p;
                status = 1;
                break;
            }
            after_separator = true;
            if (byte == ' ' && next == p + 1) {
                p = next;
                continue;
            }
            if (!copy_pending(p) || !write_bytes(out, space, 1))
                return transcription_write_failed;
        } else if (!copy_pending(p)) {
            return transcription_write_failed;
        }
        p = pending = next;
    }
    in.pos = static_cast<std::size_t>(p - in.data);
    return end_line(out) ? status : transcription_write_failed;
}

int skip_rest_of_period(text_input& in)
{
    for (;;) {
        semicolon_finder find;
        const run_end run = scan_run(in.data + in.pos, in.data + in.end, find);
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
