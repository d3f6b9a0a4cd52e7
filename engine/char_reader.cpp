#include "engine/char_reader.hpp"

int read_char(std::FILE *in, std::uint32_t *value, std::int32_t *length)
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
