// "mpegtool decode": placeholder until the decoder lands.
#include <cstdio>

int DecodeCommand(int /*argc*/, char** /*argv*/)
{
    std::fprintf(stderr, "decode: not available\n");
    return 2;
}
