#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/Cpu.h"

using namespace morvane;

TEST(Cpu, AgreesWithTheKernelsMmxFlag)
{
#if defined(__x86_64__)
    EXPECT_EQ(HasCpuid(), 1);
#endif
    std::ifstream in("/proc/cpuinfo");
    if (!in) GTEST_SKIP() << "no /proc/cpuinfo";
    std::string line;
    bool kernelSaysMmx = false, sawFlags = false;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) == 0) {
            sawFlags = true;
            std::istringstream words(line.substr(line.find(':') + 1));
            std::string w;
            while (words >> w) kernelSaysMmx |= (w == "mmx");
            break;
        }
    }
    if (!sawFlags) GTEST_SKIP() << "no flags line";
    EXPECT_EQ(MmxFromFeatures(GetCpuFeatures()), kernelSaysMmx ? 1 : 0);
}

TEST(Cpu, FeatureBitSelectsThePath)
{
    EXPECT_EQ(MmxFromFeatures(0), 0);
    EXPECT_EQ(MmxFromFeatures(1u << 23), 1);
    EXPECT_EQ(MmxFromFeatures(~(1u << 23)), 0);
}
