#include "reference/reference_engine.hpp"

#include "engine/period_transcription.hpp"

namespace reference {

int read_char(std::FILE* in, std::uint32_t* value, std::int32_t* length)
{
    unsigned char byte = 0;
    if (std::fread(&byte, 1, 1, in) != 1)
        return 0;

    int following = 0;
    if ((byte & 0xE0) == 0xC0)
        following = 1;
    else if ((byte & 0xF0) == 0xE0)
        following = 2;
    else if ((byte & 0xF8) == 0xF0)
        following = 3;

    std::uint32_t packed = byte;
    for (int i = 0; i < following; ++i) {
        if (std::fread(&byte, 1, 1, in) != 1)
            return 0;
        packed = (packed << 8) | byte;
    }
    *value = packed;
    *length = following + 1;
    return 1;
}

namespace {

bool is_separator(std::uint32_t value)
{
    return value == 0x0A || value == 0x0C || value == 0x0D || value == 0x20;
}

bool put(int byte, std::FILE* out)
{
    return std::fputc(byte, out) != EOF;
}

bool end_line(std::FILE* out)
{
    return put(';', out) && put('\n', out);
}

bool put_char(std::uint32_t value, std::int32_t length, std::FILE* out)
{
    for (std::int32_t i = length - 1; i >= 0; --i)
        if (!put(static_cast<int>((value >> (8 * i)) & 0xFF), out))
            return false;
    return true;
}

} // namespace

int transcribe_periods(std::FILE* in, std::FILE* out)
{
    std::int32_t words_done = 0;
    bool after_separator = true;
    std::uint32_t value = 0;
    std::int32_t length = 0;

    // The first character is taken before the limit is looked at, so even a
    // limit of 0 or below consumes one character per call.
    int status = read_char(in, &value, &length);
    while (status == 1) {
        if (words_done >= word_limit)
            break;
        if (is_separator(value)) {
            if (!after_separator) {
                ++words_done;
                if (words_done < word_limit && !put(' ', out))
                    return transcription_write_failed;
            }
            after_separator = true;
        } else if (value == ';') {
            if (!end_line(out))
                return transcription_write_failed;
            after_separator = true;
            words_done = 0;
        } else {
            after_separator = false;
            if (!put_char(value, length, out))
                return transcription_write_failed;
        }
        // At the limit the input stays just after the separator that ended
        // the last word: the skipper takes it from there.
        if (words_done < word_limit)
            status = read_char(in, &value, &length);
    }
    if (!end_line(out))
        return transcription_write_failed;
    return status;
}

int skip_rest_of_period(std::FILE* in)
{
    std::uint32_t value = 0;
    std::int32_t length = 0;
    do {
        if (read_char(in, &value, &length) != 1)
            return 0;
    } while (value != ';');
    return 1;
}

int transcribe_text(std::FILE* in, std::FILE* out)
{
    return alternate_periods([&] { return transcribe_periods(in, out); },
                             [&] { return skip_rest_of_period(in); });
}

} // namespace reference
