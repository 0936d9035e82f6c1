#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

namespace {

// The words of the kernel's flags line, or an empty set.
std::set<std::string> KernelCpuFlags()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    std::set<std::string> words;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) != 0) continue;
        std::istringstream list(line.substr(line.find(':') + 1));
        for (std::string w; list >> w;) words.insert(w);
        break;
    }
    return words;
}

}  // namespace

TEST(Cpu, LevelsAgreeWithTheKernelAndTheMaskLowersThem)
{
    const std::set<std::string> kernel = KernelCpuFlags();
    if (kernel.empty()) GTEST_SKIP() << "no flags line";
    const uint32_t flags = ProcessorCpuFlags();
    EXPECT_EQ((flags & kCpuSse2) != 0, kernel.count("sse2") == 1);
    EXPECT_EQ((flags & kCpuAvx) != 0, kernel.count("avx") == 1);
    EXPECT_EQ((flags & kCpuAvx2) != 0, kernel.count("avx2") == 1);
    // The machine's levels run from plain up to all it offers.
    const std::vector<CpuLevel> levels = ProcessorCpuLevels();
    ASSERT_FALSE(levels.empty());
    EXPECT_STREQ(levels.front().name, "plain");
    EXPECT_EQ(levels.back().flags, flags);

    const uint32_t saved = CpuMask();
    SetCpuMask(0);
    EXPECT_EQ(CpuFlags(), 0u);
    SetCpuMask(kCpuSse2);
    EXPECT_EQ(CpuFlags(), flags & kCpuSse2);
    // A level without the ones below it is not a level: AVX2 alone is none.
    SetCpuMask(kCpuAvx2);
    EXPECT_EQ(CpuFlags(), 0u);
    SetCpuMask(kCpuSse2 | kCpuAvx2);
    EXPECT_EQ(CpuFlags(), flags & kCpuSse2);
    SetCpuMask(~0u);
    EXPECT_EQ(CpuFlags(), flags);
    SetCpuMask(saved);
}

TEST(Cpu, NoisePathFollowsTheMmxBitAndTheMask)
{
    const int processorMmx = MmxFromFeatures(GetCpuFeatures());
    EXPECT_EQ((ProcessorCpuFlags() & kCpuMmx) != 0, processorMmx == 1);
    const uint32_t saved = CpuMask();
    SetCpuMask(~0u);
    EXPECT_EQ(MmxPresent(), processorMmx);
    // Every kernel level keeps the path; the mask alone can lower it.
    for (const CpuLevel& level : ProcessorCpuLevels()) {
        SetCpuMask(level.flags);
        EXPECT_EQ(MmxPresent(), processorMmx) << level.name;
        EXPECT_EQ(CpuFlags() & ~kCpuMmx, level.flags & ~kCpuMmx) << level.name;
    }
    SetCpuMask(~kCpuMmx);
    EXPECT_EQ(MmxPresent(), 0);
    EXPECT_EQ(CpuFlags(), ProcessorCpuFlags() & ~kCpuMmx);
    SetCpuMask(saved);
}

TEST(Cpu, MaskFromTheEnvironmentText)
{
    const uint32_t all = kCpuSse2 | kCpuAvx | kCpuAvx2 | kCpuMmx;
    EXPECT_EQ(ParseCpuMask(nullptr), all);
    EXPECT_EQ(ParseCpuMask(""), all);
    // A level's name lowers the kernels and keeps the noise's path.
    EXPECT_EQ(ParseCpuMask("plain"), +kCpuMmx);
    EXPECT_EQ(ParseCpuMask("SSE2"), kCpuMmx | kCpuSse2);
    EXPECT_EQ(ParseCpuMask("avx"), kCpuMmx | kCpuSse2 | kCpuAvx);
    EXPECT_EQ(ParseCpuMask("Avx2"), all);
    EXPECT_EQ(ParseCpuMask("0x3"), 3u);
    EXPECT_EQ(ParseCpuMask("0"), 0u);
    EXPECT_EQ(ParseCpuMask("sse9"), all);  // unreadable: nothing lowered
    EXPECT_EQ(ParseCpuMask("3 "), all);
    ASSERT_EQ(CpuLevels().size(), 4u);
    EXPECT_STREQ(CpuLevels()[0].name, "plain");
    EXPECT_EQ(CpuLevels()[3].flags, all);
}
