// Holds the engine to the sizes of the buffers it is given: a window's
// largest output written next to the end of the output buffer, at every
// level the buffer is filled to; inputs that end at every offset of a block
// and of the slack after it, in an input buffer at every alignment that
// matters. Each buffer ends where its allocation ends, and the bytes before
// it are fenced off under AddressSanitizer, so that a byte read or written
// past a bound is caught in the sanitize build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <string>

#include "reference/text_streams.hpp"
#include "stream_support.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define SFOLTITESTO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SFOLTITESTO_ASAN 1
#endif
#endif
#ifdef SFOLTITESTO_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

// `size` bytes starting `shift` bytes past a 64-byte boundary, with nothing
// usable on either side. The bytes before it also hold a canary, which tells
// of a write there in any build.
class fenced_buffer {
  public:
    fenced_buffer(std::size_t size, std::size_t shift)
        : base_(static_cast<unsigned char*>(::operator new (shift + size, std::align_val_t{64}))),
          shift_(shift)
    {
        std::fill(base_, base_ + shift_, canary);
#ifdef SFOLTITESTO_ASAN
        __asan_poison_memory_region(base_, shift_);
#endif
    }

    bool fence_intact() const
    {
#ifdef SFOLTITESTO_ASAN
        __asan_unpoison_memory_region(base_, shift_);
#endif
        const bool intact =
            std::all_of(base_, base_ + shift_, [](unsigned char b) { return b == canary; });
#ifdef SFOLTITESTO_ASAN
        __asan_poison_memory_region(base_, shift_);
#endif
        return intact;
    }
    ~fenced_buffer()
    {
#ifdef SFOLTITESTO_ASAN
        __asan_unpoison_memory_region(base_, shift_);
#endif
        ::operator delete (base_, std::align_val_t{64});
    }
    fenced_buffer(const fenced_buffer&) = delete;
    fenced_buffer& operator=(const fenced_buffer&) = delete;

    unsigned char* data() const
    {
        return base_ + shift_;
    }

  private:
    static constexpr unsigned char canary = 0xA5;
    unsigned char* base_;
    std::size_t shift_;
};

// The output of a run through buffers of exactly the sizes given, the input
// file's bytes taken as `files` says; "fenced off" when a byte before a
// buffer was written.
// With the copies made beside the engine, the spare buffers are fenced too,
// the input's shifted by `spare_shift`.
std::string run_fenced(const std::string& input, std::size_t block, std::size_t input_shift,
                       std::size_t output_capacity, instruction_set set, drive how,
                       file_bytes files = file_bytes::as_they_are, copies made = copies::in_turn,
                       std::size_t spare_shift = 0)
{
    engine_instructions = set;
    std::FILE* in = stream_of(input);
    std::FILE* out = scratch_file();
    const fenced_buffer in_buffer(block + input_slack, input_shift);
    const fenced_buffer out_buffer(output_capacity, 16); // 16 bytes of canary before it
    const fenced_buffer spare_in[] = {{block + input_slack, spare_shift},
                                      {block + input_slack, input_shift},
                                      {block + input_slack, spare_shift}};
    static_assert(std::size(spare_in) == blocks_read_ahead);
    unsigned char* spares[] = {spare_in[0].data(), spare_in[1].data(), spare_in[2].data()};
    const fenced_buffer spare_out(output_capacity, 16);
    output_sink sink(out);
    text_input text_in = make_text_input(in, in_buffer.data(), block, files);
    text_output text_out = make_text_output(sink, out_buffer.data(), output_capacity);
    copy_worker worker;
    if (made == copies::beside)
        copy_beside(worker, text_in, spares, text_out, spare_out.data());
    if (how == drive::one_pass)
        transcribe_text(text_in, text_out);
    else
        alternate_periods([&] { return transcribe_periods(text_in, text_out); },
                          [&] { return skip_rest_of_period(text_in); });
    finish_output(text_out);
    worker.stop();
    std::string result = contents_of(out);
    if (!in_buffer.fence_intact() || !out_buffer.fence_intact() || !spare_in[0].fence_intact() ||
        !spare_in[1].fence_intact() || !spare_in[2].fence_intact() || !spare_out.fence_intact())
        result = "fenced off";
    std::fclose(in);
    std::fclose(out);
    engine_instructions = best_instruction_set();
    return result;
}

// Nothing but ';' makes the most output a window can: each byte, and a line
// feed added after it. Output buffers from the smallest allowed to over two
// windows' output larger hand over at every level a window may find them
// filled to, the fullest included.
TEST(bounds, a_window_largest_output_fits_however_full_the_output_is)
{
    const std::string input(16 * window_bytes, ';');
    std::string expected;
    for (std::size_t i = 0; i <= input.size(); ++i)
        expected += ";\n";
    for (const instruction_set set : runnable_instruction_sets()) {
        for (const drive how : {drive::one_pass, drive::alternating}) {
            for (std::size_t capacity = window_output_room;
                 capacity <= window_output_room + 2 * 2 * window_bytes; ++capacity) {
                ASSERT_EQ(run_fenced(input, 256, 0, capacity, set, how), expected)
                    << name_of(set) << ", output capacity " << capacity
                    << (how == drive::one_pass ? ", one pass" : ", alternating");
            }
        }
    }
}

// Separators, which nothing is kept of, then a tail whose first byte starts
// what is kept: its copy reads the farthest past the input's end.
TEST(bounds, inputs_that_end_anywhere_are_read_within_the_buffer)
{
    const std::string tails[] = {"x", "\xE2\x82\xAC", "a;"};
    // Blocks that share no factor with a window, one that is a window, and
    // one that is a window and the most its characters reach past it, so
    // that every count of bytes waits for the next read, the most of them
    // included.
    const std::size_t blocks[] = {61, 64, window_reach};
    // Where the buffer starts decides the padding before the aligned point
    // reads go to: none, all 63 bytes, or some.
    const auto shift_for = [](std::size_t padding) {
        return (2 * read_alignment - before_read % read_alignment - padding) % read_alignment;
    };
    const std::size_t shifts[] = {shift_for(0), shift_for(read_alignment - 1), shift_for(17)};
#ifdef _WIN32
    constexpr std::size_t step = 3; // scratch files are slow there
#else
    constexpr std::size_t step = 1;
#endif
    // Read as a text file, a CR at the end of a read waits with the bytes
    // left over for the next read: every byte is one here.
    const std::string fillers[] = {" ", "\r"};
    for (const std::string& tail : tails) {
        for (std::size_t length = tail.size(); length <= 2 * 64 + input_slack + 2 * window_bytes;
             length += step) {
            for (const file_bytes files : {file_bytes::as_they_are, file_bytes::in_text_mode}) {
                // One tail is enough for what waits: the others are for the copy.
                if (files == file_bytes::in_text_mode && &tail != &tails[0])
                    continue;
                const std::string& filler = fillers[files == file_bytes::in_text_mode ? 1 : 0];
                std::string input;
                while (input.size() + tail.size() < length)
                    input += filler;
                input = input.substr(0, length - tail.size()) + tail;
                const std::string expected = condense_reference(
                    files == file_bytes::in_text_mode ? reference::read_in_text_mode(input) : input,
                    7);
                for (const std::size_t block : blocks) {
                    for (std::size_t i = 0; i < std::size(shifts); ++i) {
                        const std::size_t shift = shifts[i];
                        for (const instruction_set set : runnable_instruction_sets()) {
                            ASSERT_EQ(run_fenced(input, block, shift, window_output_room + 64, set,
                                                 drive::one_pass, files),
                                      expected)
                                << name_of(set) << ", block " << block << ", buffer shifted "
                                << shift << (files == file_bytes::in_text_mode ? ", as text" : "")
                                << ", input " << escaped(input);
                        }
                        // The blocks read ahead in turn into a buffer shifted
                        // another way, with the best build.
                        if (i + 1 == std::size(shifts))
                            continue;
                        const std::size_t spare_shift = shifts[i + 1];
                        ASSERT_EQ(run_fenced(input, block, shift, window_output_room + 64,
                                             best_instruction_set(), drive::one_pass, files,
                                             copies::beside, spare_shift),
                                  expected)
                            << "copies beside, block " << block << ", buffers shifted " << shift
                            << " and " << spare_shift
                            << (files == file_bytes::in_text_mode ? ", as text" : "") << ", input "
                            << escaped(input);
                    }
                }
            }
        }
    }
}

} // namespace
