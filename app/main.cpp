#include <new>

#include "app/command_line.hpp"
#include "app/platform.hpp"

int main(int argc, char** argv)
{
    reserve_standard_streams();
    try {
        return sfoltitesto_main(argc, argv);
    } catch (const std::bad_alloc&) {
        // Only what comes before the output is opened allocates.
        return sfoltitesto_memory_exhausted();
    }
}
