// The picture store's budget, lowered for a test: pictures are refused
// without a gigabyte of them in memory.  Header only.
#pragma once

#include <cstdint>

#include "media/PictureStore.h"

namespace morvane {

class PictureStoreTestAccess {
public:
    static void SetBudget(uint64_t bytes) { PictureStore::SetBudget(bytes); }
};

namespace test {

// While it lives, the pictures held may take `bytes` in all.
class PictureBudget {
public:
    explicit PictureBudget(uint64_t bytes) : m_old(PictureStore::Budget()) { PictureStoreTestAccess::SetBudget(bytes); }
    ~PictureBudget() { PictureStoreTestAccess::SetBudget(m_old); }
    PictureBudget(const PictureBudget&) = delete;
    PictureBudget& operator=(const PictureBudget&) = delete;

private:
    uint64_t m_old;
};

}  // namespace test

}  // namespace morvane
