#pragma once

// What a Windows text stream does to a file's bytes, a byte at a time, as
// its C runtime does it: the program's own passes are held to these.

#include <string>

namespace reference {

// What a text stream reads from a file that holds `stored`: a CR that a LF
// follows goes, and a 1A ends the text.
inline std::string read_in_text_mode(const std::string& stored)
{
    std::string text;
    for (std::size_t i = 0; i < stored.size() && stored[i] != '\x1A'; ++i)
        if (!(stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n'))
            text += stored[i];
    return text;
}

// What a text stream stores for `text`: each LF as CR LF.
inline std::string stored_in_text_mode(const std::string& text)
{
    std::string stored;
    for (const char c : text) {
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    return stored;
}

} // namespace reference
