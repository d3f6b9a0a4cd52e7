#pragma once

// Internal to the engine: the entry points of the engine over one kernel K,
// its two stages joined for each way of calling it, and the passes of
// Windows text mode. Each kernel's file instantiates them for its K (see
// window_masks.hpp, period_planner.hpp, window_emitter.hpp,
// text_mode_passes.hpp), which also says the widest move its copy makes:
//
//   static constexpr std::size_t move_bytes;

#include "engine/input_windows.hpp"
#include "engine/kernel.hpp"
#include "engine/period_planner.hpp"
#include "engine/period_transcription.hpp"
#include "engine/text_mode_passes.hpp"
#include "engine/window_emitter.hpp"

// Consumes the input from where it stands, window by window, until the call
// stops (see stop_at) or the input ends, starting from period state `s`.
// Returns 1 when it stopped, or when the input ended in a period cut at the
// limit, which needs no closing line; 0 at the end of input otherwise, where
// a transcriber writes its closing line; and transcription_write_failed.
template <class K, stop_at Stop> int consume(text_input& in, text_output* out, period_state s)
{
    input_cursor c = in.cursor;
    input_view v = view_of(in);
    // Where the output goes on, in a local for the same reason as `v`.
    unsigned char* to = out != nullptr ? out->data + out->used : nullptr;
    const auto sync = [&] { out->used = static_cast<std::size_t>(to - out->data); };
    int result = 1;
    for (;;) {
        if (c.window.unread == 0 && !take_window<K>(in, v, c)) {
            // Nothing of the last window is wanted any more, which lets
            // the compiler keep its masks out of memory.
            c.window = {};
            if (s == 0) {
                result = Stop == stop_at::never ? 1 : 0;
            } else {
                sync();
                result = end_line(*out) ? 0 : transcription_write_failed;
                to = out->data + out->used;
            }
            break;
        }
        const window_plan p = plan_window<K, Stop>(c.window, s, word_limit);
        if constexpr (Stop != stop_at::semicolon) {
            if (p.active != 0) {
                if (must_hand_over(*out, to)) {
                    sync();
                    if (!flush_output(*out)) {
                        // The run stops here; what is left of the window
                        // will not be read either.
                        c.window = {};
                        result = transcription_write_failed;
                        break;
                    }
                    to = out->data + out->used;
                }
                to = emit_window<K>(to, c.window, p);
            }
        }
        c.window.unread = p.unread;
        if (Stop != stop_at::never && p.stopped)
            break;
    }
    in.cursor = c;
    catch_up(in, v);
    if (out != nullptr)
        sync();
    return result;
}

// The entry points over kernel K, for its file to define with the
// instructions it is compiled for, and its row of the dispatch table, which
// carries its name.
#define SFOLTITESTO_KERNEL_ENTRY_POINTS(K, attributes)                                             \
    static_assert(K::move_bytes <= widest_move, "the buffers have room for the moves");            \
    namespace {                                                                                    \
    attributes int transcribe_##K(text_input& in, text_output& out)                                \
    {                                                                                              \
        return consume<K, stop_at::cut>(in, &out, word_limit);                                     \
    }                                                                                              \
    attributes int skip_##K(text_input& in)                                                        \
    {                                                                                              \
        return consume<K, stop_at::semicolon>(in, nullptr, 0);                                     \
    }                                                                                              \
    attributes int run_##K(text_input& in, text_output& out)                                       \
    {                                                                                              \
        return consume<K, stop_at::never>(in, &out, word_limit);                                   \
    }                                                                                              \
    attributes window_masks classify_##K(const unsigned char* p)                                   \
    {                                                                                              \
        return K::classify(p);                                                                     \
    }                                                                                              \
    attributes text_mode_read read_pass_##K(unsigned char* bytes, std::size_t size)                \
    {                                                                                              \
        return read_pass<K>(bytes, size);                                                          \
    }                                                                                              \
    attributes std::size_t write_pass_##K(const unsigned char* from, std::size_t size,             \
                                          unsigned char* to)                                       \
    {                                                                                              \
        return write_pass<K>(from, size, to);                                                      \
    }                                                                                              \
    }                                                                                              \
    const engine_kernel K##_kernel = {#K,           transcribe_##K, skip_##K,      run_##K,        \
                                      classify_##K, read_pass_##K,  write_pass_##K};
