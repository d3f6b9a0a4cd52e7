#include "app/command_line.hpp"
#include "app/platform.hpp"

// The C runtime's own reading of the wide command line: the shell's, in
// another library, takes longer to load than the rest of a run of a large
// file.
int wmain(int argc, wchar_t** wide)
{
    reserve_standard_streams();
    char** const argv = utf8_arguments(argc, wide);
    return argv != nullptr ? sfoltitesto_main(argc, argv) : sfoltitesto_memory_exhausted();
}
