#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/period_transcription.hpp"

// A temporary stream holding `bytes`, positioned at its start.
inline std::FILE *stream_of(const std::string &bytes)
{
    std::FILE *f = std::tmpfile();
    if (f == nullptr)
        return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

// Everything written to `f` so far.
inline std::string contents_of(std::FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    std::string bytes;
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f))
        bytes.push_back(static_cast<char>(c));
    return bytes;
}

// Runs the program's loop over `input` at `limit` and returns the output file.
inline std::string condense(const std::string &input, std::int32_t limit)
{
    word_limit = limit;
    std::FILE *in = stream_of(input);
    std::FILE *out = std::tmpfile();
    transcribe_periods(in, out);
    while (skip_rest_of_period(in) == 1)
        transcribe_periods(in, out);
    std::string result = contents_of(out);
    std::fclose(in);
    std::fclose(out);
    word_limit = 7;
    return result;
}

// Shows bytes as a C string literal, so a failing case can be pasted back.
inline std::string escaped(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "\"";
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else if (c == '"' || c == '\\')
            text += std::string("\\") + static_cast<char>(c);
        else if (c >= 0x20 && c < 0x7F)
            text += static_cast<char>(c);
        else
            text += std::string("\\x") + digits[c >> 4] + digits[c & 15] + "\"\"";
    }
    return text + "\"";
}

// `text` with everything but letters and digits turned into '_'.
inline std::string identifier(std::string text)
{
    for (char &c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

// Names each case of a parameterized test after its `name` field.
struct named_case {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case> &param) const
    {
        return identifier(param.param.name);
    }
};
