// The engine alone on in-memory text: input from a memory stream, output to
// the null device, so that the figures leave out the disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/period_transcription.hpp"
#include "reference/reference_engine.hpp"

namespace {

// Periods of 5 to 45 words, some accented, some with emoji.
std::string make_text(std::size_t size, bool utf8_heavy)
{
    const char* const ascii_words[] = {"il",     "della", "quando", "sempre", "lavoro", "strada",
                                       "giorno", "pane",  "con",    "campi",  "nebbia", "sotto"};
    const char* const utf8_words[] = {"perché", "città", "più", "caffè",  "però", "è",
                                      "già",    "€",     "😀",   "Ελλάδα", "мир",  "日本語"};
    std::mt19937 g(42);
    std::string text;
    while (text.size() < size) {
        const int words = std::uniform_int_distribution<int>(5, 45)(g);
        for (int w = 0; w < words; ++w) {
            const int i = std::uniform_int_distribution<int>(0, 11)(g);
            const bool accented = utf8_heavy ? i % 2 == 0 : i == 0;
            text += accented ? utf8_words[i] : ascii_words[i];
            text += w + 1 < words ? (i == 3 ? "\n" : " ") : ";\n";
        }
    }
    return text;
}

const std::string& text(bool utf8_heavy)
{
    static const std::string ascii = make_text(32 << 20, false);
    static const std::string utf8 = make_text(32 << 20, true);
    return utf8_heavy ? utf8 : ascii;
}

void fast_engine(benchmark::State& state)
{
    const std::string& input = text(state.range(1) != 0);
    word_limit = static_cast<std::int32_t>(state.range(0));
    std::vector<unsigned char> in_buffer(256 * 1024 + input_slack);
    std::vector<unsigned char> out_buffer(128 * 1024);
    std::FILE* null = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
        output_sink sink(null);
        text_input text_in = make_text_input(in, in_buffer.data(), 256 * 1024);
        text_output text_out = make_text_output(sink, out_buffer.data(), out_buffer.size());
        transcribe_text(text_in, text_out);
        flush_output(text_out);
        std::fclose(in);
    }
    std::fclose(null);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void reference_engine(benchmark::State& state)
{
    const std::string& input = text(state.range(1) != 0);
    word_limit = static_cast<std::int32_t>(state.range(0));
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
        reference::transcribe_text(in, sink);
        std::fclose(in);
    }
    std::fclose(sink);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// Arguments: word limit (7 is the default, 1000 keeps every word), UTF-8-heavy text.
BENCHMARK(fast_engine)->ArgsProduct({{7, 1000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(reference_engine)->Args({7, 0})->Args({7, 1})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
