#include "engine/text_mode.hpp"

#include "engine/kernel.hpp"

// As everywhere, with the build the engine runs with.
text_mode_read text_mode_read_pass(unsigned char* bytes, std::size_t size)
{
    return kernel_for(engine_instructions).read_pass(bytes, size);
}

std::size_t text_mode_write_pass(const unsigned char* from, std::size_t size, unsigned char* to)
{
    return kernel_for(engine_instructions).write_pass(from, size, to);
}
