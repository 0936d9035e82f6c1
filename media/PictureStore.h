// The pictures the layers show: one budget for all of them, and one copy of
// each picture file however many layers name it.
//
// Every picture that enters a layer (a still picture, a movie's frame)
// passes through Keep, and counts toward the process's budget until the
// last layer, or copy of a layer, showing it lets go of it.  A picture that
// would take the pictures held beyond the budget is refused.  One picture
// alone is bounded by the readers' own limit (kMaxPictureBytes), so a
// picture being read, before it is kept or refused, adds at most that much.
//
// A picture read from a file is kept with the file's identity: its device,
// inode, size and the times of its last change.  A layer that names a file
// whose picture is still held, unchanged since it was read, shares that
// picture instead of reading the file again; a file written again or
// replaced since is read anew (and one that changed while it was read is
// not shared at all).
//
// Pictures may be let go of on any thread (a render's copy of a texture);
// the store is kept under a lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "engine/Records.h"
#include "engine/Result.h"

namespace morvane {

// What the pictures held at one time may take: 1 GiB, four of the largest
// pictures a reader accepts.
constexpr uint64_t kPictureBudget = uint64_t(1) << 30;

// A file as it is on disk now; equal for the same file unchanged.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modified = 0;  // nanoseconds
    int64_t changed = 0;   // nanoseconds, of the inode's last change

    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file `path` names (links followed); none when it
// cannot be looked at.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

class PictureStore {
public:
    // A picture held for a file, and the number of frames of the movie
    // whose first frame it is (0 for a still picture).
    struct Held {
        std::shared_ptr<const Picture> picture;
        int frames = 0;
    };

    // The picture of the file with this identity, when one is still held.
    static std::optional<Held> Find(const FileIdentity& file);

    // Takes `picture` for a layer that lets go of `replacing` for it (null
    // for none): refused when the pictures held would then take more than
    // the budget (`replacing` no longer counts once only that layer holds
    // it); the error is a sentence without its full stop.  With `file` the
    // picture is shared with the layers that name the same file later.
    static Result<std::shared_ptr<const Picture>> Keep(Picture picture, const std::shared_ptr<const Picture>& replacing,
                                                       const std::optional<FileIdentity>& file = std::nullopt,
                                                       int frames = 0);

    // Bytes of the pictures held now, and the budget.
    static uint64_t HeldBytes();
    static uint64_t Budget();

private:
    friend class PictureStoreTestAccess;
    static void SetBudget(uint64_t bytes);
};

}  // namespace morvane
