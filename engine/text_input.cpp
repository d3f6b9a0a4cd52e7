// The engine's first stage, the parts that are not built per instruction
// set: reading blocks, and the character reader on top of the windows.
#include <cassert>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "engine/char_reader.hpp"
#include "engine/copy_worker.hpp"
#include "engine/input_windows.hpp"
#include "engine/instruction_sets.hpp"
#include "engine/text_mode.hpp"

namespace {

// Where each read into `buffer` goes: what waits for the next read goes just
// before this aligned point.
std::size_t read_point(const unsigned char* buffer, [[maybe_unused]] std::size_t block)
{
    const auto address = reinterpret_cast<std::uintptr_t>(buffer) + before_read;
    const std::size_t at =
        before_read + (read_alignment - address % read_alignment) % read_alignment;
    assert(at + block + copy_overrun <= block + input_slack);
    return at;
}

} // namespace

text_input make_text_input(std::FILE* stream, unsigned char* buffer, std::size_t block,
                           file_bytes taken)
{
    text_input in;
    in.stream = stream;
    in.data = buffer;
    in.block = block;
    in.taken = taken;
    in.read_at = read_point(buffer, block);
    in.next = in.end = in.read_at;
    return in;
}

block_read read_stream(std::FILE* stream, unsigned char* into, std::size_t size)
{
    block_read r;
    r.got = std::fread(into, 1, size, stream);
    r.failed = std::ferror(stream) != 0;
    r.at_end = r.failed || r.got == 0 || std::feof(stream) != 0;
    return r;
}

void read_ahead(text_input& in, copy_worker& worker, unsigned char* const* spares)
{
    in.worker = &worker;
    in.ring[0] = in.data;
    in.ring_read_at[0] = in.read_at;
    for (std::size_t i = 0; i < blocks_read_ahead; ++i) {
        in.ring[i + 1] = spares[i];
        in.ring_read_at[i + 1] = read_point(spares[i], in.block);
    }
}

namespace {

// Takes the `got` bytes just read as text mode would, and returns how
// many stay; `ended` is set when a 1A ends the text. The pass sees one read
// at a time, so this is where a CR at the end of a read that the input goes
// on after is held back: the next read tells whether a LF follows it; if
// not, it goes in just before that read's bytes (held_back in geometry.hpp
// leaves room for it there).
std::size_t take_in_text_mode(text_input& in, std::size_t got, bool& ended)
{
    unsigned char* const bytes = in.data + in.read_at;
    if (in.cr_held && !(got > 0 && bytes[0] == '\n')) {
        std::memmove(in.data + in.next - 1, in.data + in.next, in.read_at - in.next);
        --in.next;
        bytes[-1] = '\r';
    }
    in.cr_held = false;
    const text_mode_read text = text_mode_read_pass(bytes, got);
    ended = ended || text.ended;
    std::size_t length = text.length;
    if (!ended && length > 0 && bytes[length - 1] == '\r') {
        --length;
        in.cr_held = true;
    }
    return length;
}

// Gives the worker a read into each buffer of the ring after the current one
// that has none.
void read_ahead_all(text_input& in)
{
    for (; in.ahead < blocks_read_ahead; ++in.ahead) {
        const std::size_t at = (in.current + 1 + in.ahead) % std::size(in.ring);
        in.worker->read(in.stream, in.ring[at] + in.ring_read_at[at], in.block);
    }
}

// The next block, read into the buffer after the bytes not yet in a window,
// which are moved just before it.
block_read read_block(text_input& in)
{
    const std::size_t unread = in.end - in.next;
    if (in.worker == nullptr) {
        std::memmove(in.data + in.read_at - unread, in.data + in.next, unread);
        in.next = in.read_at - unread;
        return read_stream(in.stream, in.data + in.read_at, in.block);
    }
    if (in.ahead == 0)
        read_ahead_all(in);
    const block_read r = in.worker->wait_read();
    --in.ahead;
    const std::size_t next = (in.current + 1) % std::size(in.ring);
    std::memcpy(in.ring[next] + in.ring_read_at[next] - unread, in.data + in.next, unread);
    in.current = next;
    in.data = in.ring[next];
    in.read_at = in.ring_read_at[next];
    in.next = in.read_at - unread;
    // The buffer just left is free for the next read ahead.
    if (!r.at_end)
        read_ahead_all(in);
    return r;
}

} // namespace

std::size_t refill(text_input& in)
{
    while (!in.ended && in.end - in.next < window_reach) {
        const block_read r = read_block(in);
        assert(reinterpret_cast<std::uintptr_t>(in.data + in.read_at) % read_alignment == 0);
        bool ended = r.at_end;
        in.end =
            in.read_at +
            (in.taken == file_bytes::in_text_mode ? take_in_text_mode(in, r.got, ended) : r.got);
        in.ended = ended;
        in.read_failed = r.failed;
    }
    return in.end - in.next;
}

namespace {

// The classifier of the build the engine runs with, for the character
// reader, which has no build of its own.
struct chosen_classifier {
    static window_masks classify(const unsigned char* p)
    {
        return classifier_for(engine_instructions)(p);
    }
};

} // namespace

int read_char(text_input& in, std::uint32_t* value, std::int32_t* length)
{
    input_cursor& c = in.cursor;
    input_window& w = c.window;
    input_view v = view_of(in);
    // The window that the end of input cuts short may be left empty.
    while (w.unread == 0)
        if (!take_window<chosen_classifier>(in, v, c))
            return 0;
    // A character runs to the next byte that begins one. One that goes on
    // into the next window takes the bytes carried into it, which are read
    // already: a character cut short by the end of input was dropped.
    const unsigned pos = bits::lowest(w.unread);
    const std::uint64_t later_starts = ~w.continuing & w.unread & (w.unread - 1);
    const unsigned here = (later_starts != 0 ? bits::lowest(later_starts)
                                             : static_cast<unsigned>(std::popcount(w.real))) -
                          pos;
    const unsigned beyond = later_starts != 0 ? 0 : static_cast<unsigned>(std::countr_one(c.carry));
    const unsigned char* p = w.bytes + pos;
    std::uint32_t packed = 0;
    for (unsigned i = 0; i < here + beyond; ++i)
        packed = (packed << 8) | p[i];
    w.unread &= ~(bits::lowest_bit(later_starts) - 1); // 0 when none
    if (beyond != 0) {
        // The bytes carried into the next window were read with this one,
        // so there is a next window.
        [[maybe_unused]] const bool taken = take_window<chosen_classifier>(in, v, c);
        assert(taken);
        w.unread &= bits::from(beyond);
    }
    catch_up(in, v);
    *value = packed;
    *length = static_cast<std::int32_t>(here + beyond);
    return 1;
}
