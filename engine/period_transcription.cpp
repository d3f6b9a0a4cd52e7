#include "engine/period_transcription.hpp"

#include "engine/kernel.hpp"

std::int32_t word_limit = 7;

namespace {

// With a limit of 0 or below no word is kept, and there are no words for a
// build to plan: each call consumes one character, whatever it is (the
// first is taken before the limit is looked at), and writes a bare line.
int bare_line(text_input& in, text_output& out)
{
    std::uint32_t value = 0;
    std::int32_t length = 0;
    const int status = read_char(in, &value, &length);
    return end_line(out) ? status : transcription_write_failed;
}

int bare_lines(text_input& in, text_output& out)
{
    return alternate_periods([&] { return bare_line(in, out); },
                             [&] { return skip_rest_of_period(in); });
}

struct transcriber {
    int (*one_call)(text_input& in, text_output& out);
    int (*whole_text)(text_input& in, text_output& out);
};

// What transcribes at the limit in force.
transcriber for_limit()
{
    if (word_limit <= 0)
        return {bare_line, bare_lines};
    const engine_kernel& k = kernel_for(engine_instructions);
    return {k.transcribe, k.run};
}

} // namespace

int transcribe_periods(text_input& in, text_output& out)
{
    return for_limit().one_call(in, out);
}

int skip_rest_of_period(text_input& in)
{
    return kernel_for(engine_instructions).skip(in);
}

int transcribe_text(text_input& in, text_output& out)
{
    return for_limit().whole_text(in, out);
}
