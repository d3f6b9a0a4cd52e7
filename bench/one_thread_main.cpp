// The program writing its output from the thread that does the work: only for
// timing it against the program as shipped.
#include "app/command_line.hpp"

int main(int argc, char** argv)
{
    return sfoltitesto_main(argc, argv, false);
}
