#include "app/command_line.hpp"
#include "app/platform.hpp"

int main(int argc, char** argv)
{
    reserve_standard_streams();
    return sfoltitesto_main(argc, argv);
}
