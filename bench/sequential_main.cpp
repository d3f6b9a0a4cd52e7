// The program with every copy made by the engine's own thread, as it runs
// on one processor: only for timing it beside the program.
#include "app/command_line.hpp"

int main(int argc, char** argv)
{
    copies_beside_engine = false;
    return sfoltitesto_main(argc, argv);
}
