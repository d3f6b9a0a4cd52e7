/* Copies a file with read and write, 64 KiB at a time: what the kernel
 * takes to start a program that reads and writes a small file. Only a
 * yardstick for the benchmark of small texts (bench/small.sh).
 * Usage: copy IN OUT */
#include <fcntl.h>
#include <unistd.h>

static char block[64 * 1024];

int main(int argc, char **argv)
{
    int in;
    int out;
    ssize_t got;
    if (argc < 3 || (in = open(argv[1], O_RDONLY)) < 0 ||
        (out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666)) < 0)
        return 1;
    while ((got = read(in, block, sizeof block)) > 0)
        if (write(out, block, (size_t)got) != got)
            return 1;
    return got < 0 || close(out) != 0;
}
