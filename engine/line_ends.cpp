#include "engine/line_ends.hpp"

#include "engine/kernel.hpp"

// As everywhere, with the build the engine runs with.
text_read text_read_pass(unsigned char* bytes, std::size_t size)
{
    return kernel_for(engine_instructions).read_pass(bytes, size);
}

std::size_t text_write_pass(const unsigned char* from, std::size_t size, unsigned char* to)
{
    return kernel_for(engine_instructions).write_pass(from, size, to);
}
