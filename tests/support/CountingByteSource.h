// A byte source over a buffer that counts what is read from it: how much
// of a file a reader looks at.  Header only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "media/AviReader.h"

namespace morvane::test {

class CountingByteSource : public ByteSource {
public:
    // `bytesRead` counts on after the source is handed over.
    CountingByteSource(std::span<const uint8_t> bytes, uint64_t& bytesRead)
        : m_source(MemorySource(bytes)), m_bytesRead(bytesRead)
    {
    }

    uint64_t Size() const override { return m_source->Size(); }
    bool Read(uint64_t offset, void* out, size_t size) override
    {
        m_bytesRead += size;
        return m_source->Read(offset, out, size);
    }

private:
    std::unique_ptr<ByteSource> m_source;
    uint64_t& m_bytesRead;
};

}  // namespace morvane::test
