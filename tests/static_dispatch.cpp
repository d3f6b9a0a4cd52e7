// Tells which build of the engine a statically linked program picks on this
// processor, for the tarball's test.
#include <cstdio>

#include "engine/instruction_sets.hpp"

int main()
{
    std::puts(name_of(engine_instructions));
}
