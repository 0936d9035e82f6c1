// mpegtool: drives the MPEG codec from the command line.
//   mpegtool encode --format mpeg1|pal|ntsc|secam --size WxH --count N --in DIR OUT
//   mpegtool decode ...
#include <cstdio>
#include <cstring>

int EncodeCommand(int argc, char** argv);
int DecodeCommand(int argc, char** argv);

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "encode") == 0) return EncodeCommand(argc - 1, argv + 1);
    if (argc >= 2 && std::strcmp(argv[1], "decode") == 0) return DecodeCommand(argc - 1, argv + 1);
    std::fprintf(stderr,
                 "usage: mpegtool encode --format mpeg1|pal|ntsc|secam --size WxH --count N --in DIR OUT\n"
                 "       mpegtool decode ...\n");
    return 2;
}
