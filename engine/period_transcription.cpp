#include "engine/period_transcription.hpp"

#include <algorithm>
#include <bit>
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

// Empties the buffer first; a piece as large as the buffer goes straight out.
bool write_through(text_output& out, const unsigned char* bytes, std::size_t count)
{
    if (!flush_output(out))
        return false;
    if (count >= out.capacity) {
        if (std::fwrite(bytes, 1, count, out.stream) != count)
            out.failed = true;
        return !out.failed;
    }
    std::memcpy(out.data + out.used, bytes, count);
    out.used += count;
    return true;
}

// Most writes fit in the buffer: keep that case small enough to inline.
inline bool write_bytes(text_output& out, const unsigned char* bytes, std::size_t count)
{
    if (count > out.capacity - out.used)
        return write_through(out, bytes, count);
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

// Bits 0 to n-1.
std::uint64_t bits_below(unsigned n)
{
    return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// The last of the bytes 61 to 63 of a window that surely starts a
// character, or 0: none may, as when a four-byte character covers them all.
unsigned last_sure_start(const window_masks& m)
{
    const std::uint64_t sure = ~m.reachable & (std::uint64_t{7} << 61);
    return sure != 0 ? 63 - static_cast<unsigned>(std::countl_zero(sure)) : 0;
}

// The instructions a transcriber is built with. The avx2 one is only used
// inside functions compiled for AVX2, BMI and POPCNT, which take these in.
struct baseline_bits {
    static window_masks classify(const unsigned char* p)
    {
        return classify_window(p);
    }
    static unsigned count(std::uint64_t x)
    {
        return count_bits(x);
    }
    static void copy_64(unsigned char* to, const unsigned char* from)
    {
        std::memcpy(to, from, 64);
    }
};

#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
struct avx2_bits {
    __attribute__((target("avx2"))) static window_masks classify(const unsigned char* p)
    {
        return classify_window_avx2(p);
    }
    __attribute__((target("popcnt"))) static unsigned count(std::uint64_t x)
    {
        return static_cast<unsigned>(__builtin_popcountll(x));
    }
    // Two moves rather than the four the compiler makes of a memcpy.
    __attribute__((target("avx2"))) static void copy_64(unsigned char* to,
                                                        const unsigned char* from)
    {
        const __m256i low = _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(from));
        const __m256i high = _mm256_lddqu_si256(reinterpret_cast<const __m256i*>(from + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 32), high);
    }
};
#endif

// Where the output is the input byte for byte (words parted by single
// spaces, a ';' followed by a line feed), it is copied in one piece from
// `pending` once something differs.
template <class Bits> struct transcriber {
    text_output& out;
    const unsigned char* pending;
    std::int32_t limit;
    std::int32_t words_done = 0;

    bool copy_pending(const unsigned char* upto)
    {
        const bool ok = write_bytes(out, pending, static_cast<std::size_t>(upto - pending));
        pending = upto;
        return ok;
    }

    enum class step { after_stop, inside_word, declined, at_limit, write_failed };

    // Transcribes the window of 64 bytes at `p`, which starts a character,
    // handling all its separators and ';' at once through bit masks, and
    // leaves `p` after the last of them (after_stop) or on a character start
    // further on, inside a word (inside_word). Declines a window where a lead
    // byte may have swallowed the first stop, or where no character start
    // can be told. At the limit, `p` is left just after the separator that
    // ended the last word kept. Reads from 3 bytes before `p` to 192 bytes
    // after it (its copies move whole 64-byte blocks).
    [[gnu::always_inline]] inline step window(const unsigned char*& p, bool after_separator);
};

// Bytes a window may write at most, with room for the whole-block copies
// running past the end of what they copy.
constexpr std::size_t window_output_room = 384;

template <class Bits>
typename transcriber<Bits>::step transcriber<Bits>::window(const unsigned char*& p,
                                                           bool after_separator)
{
    const window_masks m = Bits::classify(p);
    std::uint64_t stops = m.separators | m.semicolons;
    // Only the stops before the first one that a lead byte may swallow
    // surely stand alone.
    const std::uint64_t unsure = stops & m.reachable;
    if (unsure != 0)
        stops &= bits_below(static_cast<unsigned>(std::countr_zero(unsure)));
    if (stops == 0) {
        const unsigned next = unsure == 0 ? last_sure_start(m) : 0;
        if (next == 0)
            return step::declined;
        p += next;
        return step::inside_word;
    }
    const auto cut = 64 - static_cast<unsigned>(std::countl_zero(stops));
    const std::uint64_t separators = m.separators & stops;
    const std::uint64_t semicolons = m.semicolons & stops;
    const std::uint64_t after_stop = (stops << 1) | (after_separator ? 1 : 0);
    const std::uint64_t word_ends = separators & ~after_stop;

    // Where the limit falls, if it does in this window.
    unsigned done_at = cut; // the bytes before it are transcribed
    bool at_limit = false;
    for (unsigned from = 0;;) {
        const std::uint64_t later = semicolons & ~bits_below(from);
        // Without a branch: which way it goes follows no pattern. (Every ';'
        // is a stop, so it comes before the cut.)
        const unsigned upto = std::min(static_cast<unsigned>(std::countr_zero(later)), cut);
        std::uint64_t ends = word_ends & bits_below(upto) & ~bits_below(from);
        const auto count = static_cast<std::int32_t>(Bits::count(ends));
        if (count >= limit - words_done) {
            for (std::int32_t k = limit - words_done; k > 1; --k)
                ends &= ends - 1;
            done_at = static_cast<unsigned>(std::countr_zero(ends));
            at_limit = true;
            break;
        }
        words_done += count;
        if (later == 0)
            break;
        words_done = 0;
        from = upto + 1;
    }
    // A line feed just after a ';' stands for the one the ';' needs; other
    // ';' get one written after them.
    const std::uint64_t line_feed_next =
        (m.line_feeds >> 1) | (p[64] == '\n' ? std::uint64_t{1} << 63 : 0);
    const std::uint64_t bare_semicolons = semicolons & ~line_feed_next;
    bool keeps_line_feed = false;
    if (!at_limit && ((semicolons & ~bare_semicolons) >> 63) != 0) {
        done_at = 65; // the line feed after the window goes with its ';'
        keeps_line_feed = true;
    }

    // The output is the input less the separators after a stop (save that
    // line feed), with word ends other than a space written as one and a
    // line feed after a bare ';'. Copy it piece by piece between those cuts,
    // each piece in 64-byte blocks, which a few plain moves do.
    const std::uint64_t dropped = separators & after_stop & ~(m.line_feeds & (semicolons << 1));
    const std::uint64_t replaced = word_ends & ~m.spaces;
    const std::uint64_t skipped = dropped | replaced;
    std::uint64_t cuts = (skipped & ~(skipped << 1)) | (bare_semicolons << 1);
    cuts &= bits_below(done_at);

    if (p - pending > 63 && !copy_pending(p))
        return step::write_failed;
    unsigned char stage[window_output_room];
    const bool direct = out.capacity - out.used >= window_output_room;
    unsigned char* const to = direct ? out.data + out.used : stage;
    std::size_t used = 0;
    const auto copy_to = [&](const unsigned char* upto) {
        const auto length = static_cast<std::size_t>(upto - pending);
        Bits::copy_64(to + used, pending);
        if (length > 64)
            Bits::copy_64(to + used + 64, pending + 64);
        used += length;
    };
    while (cuts != 0) {
        const auto at = static_cast<unsigned>(std::countr_zero(cuts));
        cuts &= cuts - 1;
        copy_to(p + at);
        const auto line_end = static_cast<unsigned>(((bare_semicolons << 1) >> at) & 1);
        const auto space_end = static_cast<unsigned>((replaced >> at) & 1);
        to[used] = static_cast<unsigned char>(' ' - line_end * (' ' - '\n'));
        used += line_end | space_end;
        pending = p + at + static_cast<unsigned>(std::countr_one(skipped >> at));
    }
    copy_to(p + done_at);
    pending = p + done_at;
    // A bare ';' that ends the piece still wants its line feed.
    to[used] = '\n';
    if (!at_limit && !keeps_line_feed)
        used += (bare_semicolons >> (done_at - 1)) & 1;
    if (direct)
        out.used += used;
    else if (!write_bytes(out, stage, used))
        return step::write_failed;

    if (at_limit) {
        p += done_at + 1;
        return step::at_limit;
    }
    if (done_at > cut) {
        p += done_at;
        return step::after_stop;
    }
    // A word running on past the window: go as far into it as is sure.
    const unsigned next = unsure == 0 ? last_sure_start(m) : 0;
    if (next > cut) {
        p += next;
        return step::inside_word;
    }
    p += cut;
    return step::after_stop;
}

// The whole transcription of a period, built once per instruction set.
template <class Bits>
[[gnu::always_inline]] inline int transcribe_with(text_input& in, text_output& out)
{
    using step = typename transcriber<Bits>::step;
    const unsigned char* p = in.data + in.pos;
    const unsigned char* end = in.data + in.end;
    // The limit cannot change during a call; a local copy keeps the
    // compiler from reloading it after every write through a byte pointer.
    transcriber<Bits> t{out, p, word_limit};
    bool after_separator = true;
    int status = 0;
    separator_finder find;
    for (;;) {
        if (end - p >= 192 && p - in.data >= 3) {
            const step taken = t.window(p, after_separator);
            if (taken == step::after_stop || taken == step::inside_word) {
                after_separator = taken == step::after_stop;
                continue;
            }
            if (taken == step::write_failed)
                return transcription_write_failed;
            if (taken == step::at_limit) {
                status = 1;
                break;
            }
        }
        // One stop at a time, for what the masks cannot settle: the end of
        // the buffered bytes, long words, lead bytes that swallow a stop.
        const run_end run = scan_run(p, end, find);
        if (run.at != p)
            after_separator = false;
        p = run.at;
        if (!run.found) {
            if (!t.copy_pending(p))
                return transcription_write_failed;
            in.pos = static_cast<std::size_t>(p - in.data);
            const bool more = refill(in);
            p = t.pending = in.data + in.pos;
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
            } else if (!t.copy_pending(p) || !write_bytes(out, line_feed, 1)) {
                return transcription_write_failed;
            }
            t.words_done = 0;
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
            if (++t.words_done >= t.limit) {
                if (!t.copy_pending(p))
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
            if (!t.copy_pending(p) || !write_bytes(out, space, 1))
                return transcription_write_failed;
        } else if (!t.copy_pending(p)) {
            return transcription_write_failed;
        }
        p = t.pending = next;
    }
    in.pos = static_cast<std::size_t>(p - in.data);
    return end_line(out) ? status : transcription_write_failed;
}

int transcribe_baseline(text_input& in, text_output& out)
{
    return transcribe_with<baseline_bits>(in, out);
}

#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
__attribute__((target("avx2,bmi,bmi2,popcnt"), flatten)) int transcribe_avx2(text_input& in,
                                                                             text_output& out)
{
    return transcribe_with<avx2_bits>(in, out);
}
#endif

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
#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
    if (engine_instructions == instruction_set::avx2)
        return transcribe_avx2(in, out);
#endif
    return transcribe_baseline(in, out);
}

namespace {

#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
// The ';' that ends a period is most often a few dozen bytes on: look for it
// 32 bytes at a time here, which costs less than the call to the C library's
// search. Whether it stands alone is told from the bytes before it; when that
// is in doubt, or the buffered bytes run out first, the caller goes the
// general way from the start.
__attribute__((target("avx2,bmi"))) bool skip_in_buffer_avx2(text_input& in)
{
    const unsigned char* const from = in.data + in.pos;
    const unsigned char* const end = in.data + in.end;
    const __m256i semicolon = splat_vector(splat_semicolon);
    for (const unsigned char* p = from; end - p >= 32; p += 32) {
        const auto hits = static_cast<std::uint32_t>(_mm256_movemask_epi8(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), semicolon)));
        if (hits != 0) {
            const unsigned char* const at = p + std::countr_zero(hits);
            if (!surely_starts_char(from, at))
                return false;
            in.pos = static_cast<std::size_t>(at + 1 - in.data);
            return true;
        }
    }
    return false;
}
#endif

} // namespace

int skip_rest_of_period(text_input& in)
{
#ifdef SFOLTITESTO_HAS_AVX2_CLASSIFIER
    if (engine_instructions == instruction_set::avx2 && skip_in_buffer_avx2(in))
        return 1;
#endif
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
