// kxview: the command line (being built).
#include <cstdio>

int main()
{
    std::fprintf(stderr,
                 "usage: kxview STREAM.kxpl -o LABEL.png [--label N] [--dpi D] [--explain]\n");
    return 1;
}
