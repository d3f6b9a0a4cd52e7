#include "app/command_line.hpp"

int main(int argc, char** argv)
{
    return sfoltitesto_main(argc, argv);
}
