#include <cstdio>

int main()
{
    std::puts("Morvane: the editor window is not built yet.");
    return 0;
}
