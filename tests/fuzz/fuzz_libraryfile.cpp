// Library files come from anywhere: any bytes must be refused or read
// without harm, and whatever is read must write and read back the same.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/LibraryFile.h"

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace morvane;
    const auto first = ParseLibraryFile(std::span<const uint8_t>(data, size));
    Check(first.ok() != !first.error.empty());
    if (!first.ok()) return 0;
    const std::vector<LibraryEntry>& entries = *first.value;
    for (const LibraryEntry& e : entries) {
        Check(e.name.size() <= kLibraryFieldSize && e.path.size() <= kLibraryFieldSize);
        Check(LibraryEntryName(e.path).front() == '\\');
    }
    const std::vector<uint8_t> written = EncodeLibraryFile(entries);
    Check(written.size() == LibraryFileSize(entries.size()));
    Check(written.size() <= size);
    const auto second = ParseLibraryFile(written);
    Check(second.ok() && *second.value == entries);
    return 0;
}
