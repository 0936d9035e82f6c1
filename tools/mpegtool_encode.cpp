// "mpegtool encode": placeholder until the encoder lands.
#include <cstdio>

int EncodeCommand(int /*argc*/, char** /*argv*/)
{
    std::fprintf(stderr, "encode: not available\n");
    return 2;
}
