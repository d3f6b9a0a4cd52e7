/* The plainest C program that condenses a text: one byte at a time through
 * the C library's buffered streams, as the words and periods are defined.
 * Only a yardstick for the benchmark of small texts (bench/small.sh), built
 * there with nothing but `cc -O2`.
 * Usage: bytewise IN OUT [n] */
#include <stdio.h>
#include <stdlib.h>

static int word_limit = 7;

/* One character: a UTF-8 lead byte and the bytes it takes, whatever they
 * are; a byte that starts no form stands alone. */
static int read_char(FILE *in, unsigned *value, int *length)
{
    unsigned char byte;
    int status = (int)fread(&byte, 1, 1, in);
    int bytes = 1;
    unsigned packed;
    if (status != 1)
        return status;
    if ((byte & 0xE0) == 0xC0)
        bytes = 2;
    else if ((byte & 0xF0) == 0xE0)
        bytes = 3;
    else if ((byte & 0xF8) == 0xF0)
        bytes = 4;
    packed = byte;
    for (int i = 1; i < bytes; ++i) {
        status = (int)fread(&byte, 1, 1, in);
        if (status != 1)
            return status;
        packed = packed << 8 | byte;
    }
    *value = packed;
    *length = bytes;
    return status;
}

static int is_separator(unsigned c)
{
    return c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

static int transcribe_periods(FILE *in, FILE *out)
{
    int words_done = 0;
    int after_separator = 1;
    unsigned c = 0;
    int length = 0;
    int status = read_char(in, &c, &length);
    while (status == 1 && words_done < word_limit) {
        if (is_separator(c)) {
            if (!after_separator && ++words_done < word_limit)
                fputc(' ', out);
            after_separator = 1;
        } else if (c == ';') {
            fputc(';', out);
            fputc('\n', out);
            after_separator = 1;
            words_done = 0;
        } else {
            after_separator = 0;
            for (int i = length - 1; i >= 0; --i)
                fputc((int)(c >> (8 * i)) & 0xFF, out);
        }
        if (words_done < word_limit)
            status = read_char(in, &c, &length);
    }
    fputc(';', out);
    fputc('\n', out);
    return status;
}

static int skip_rest_of_period(FILE *in)
{
    unsigned c = 0;
    int length = 0;
    int status;
    do {
        status = read_char(in, &c, &length);
        if (status != 1)
            return status;
    } while (c != ';');
    return 1;
}

int main(int argc, char **argv)
{
    FILE *in;
    FILE *out;
    if (argc < 3) {
        printf("\nUtilizzo:\nsfoltitesto nomefile1 nomefile2\n");
        return 0;
    }
    if ((in = fopen(argv[1], "r")) == NULL) {
        printf("Errore apertura file input\n");
        return 0;
    }
    if ((out = fopen(argv[2], "w")) == NULL) {
        printf("Errore apertura file output\n");
        return 0;
    }
    if (argc == 4)
        word_limit = atoi(argv[3]);
    printf("Periodizzazione in corso da %s a %s, con %d parole per periodo\n", argv[1], argv[2],
           word_limit);
    do
        transcribe_periods(in, out);
    while (skip_rest_of_period(in) == 1);
    printf("Periodizzato in %s\n", argv[2]);
    return 0;
}
