#include "media/PictureStore.h"

#include <sys/stat.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace morvane {

namespace {

struct Entry {
    std::weak_ptr<const Picture> picture;
    const Picture* address = nullptr;  // to tell the entry's picture from a later one
    int frames = 0;
};

struct State {
    std::mutex mutex;
    uint64_t held = 0;
    uint64_t budget = kPictureBudget;
    std::map<FileIdentity, Entry> files;
};

// Never destroyed: a picture let go of while the program ends still finds
// it.
State& Store()
{
    static State* state = new State;
    return *state;
}

// Lets go of a picture: its bytes no longer count, and its file is no
// longer shared.
struct Release {
    uint64_t bytes = 0;
    std::optional<FileIdentity> file;

    void operator()(const Picture* picture) const
    {
        {
            State& s = Store();
            std::lock_guard lock(s.mutex);
            s.held -= bytes;
            if (file) {
                const auto it = s.files.find(*file);
                if (it != s.files.end() && it->second.address == picture) s.files.erase(it);
            }
        }
        delete picture;
    }
};

std::string Mebibytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

int64_t Nanoseconds(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    FileIdentity id;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.size = static_cast<uint64_t>(st.st_size);
    id.modified = Nanoseconds(st.st_mtim);
    id.changed = Nanoseconds(st.st_ctim);
    return id;
}

std::optional<PictureStore::Held> PictureStore::Find(const FileIdentity& file)
{
    State& s = Store();
    std::lock_guard lock(s.mutex);
    const auto it = s.files.find(file);
    if (it == s.files.end()) return std::nullopt;
    std::shared_ptr<const Picture> picture = it->second.picture.lock();
    if (!picture) return std::nullopt;
    return Held{std::move(picture), it->second.frames};
}

Result<std::shared_ptr<const Picture>> PictureStore::Keep(Picture picture,
                                                          const std::shared_ptr<const Picture>& replacing,
                                                          const std::optional<FileIdentity>& file, int frames)
{
    const uint64_t bytes = picture.pixels.size();
    // Made before the lock is taken; it counts once it is kept.
    std::shared_ptr<const Picture> kept(new Picture(std::move(picture)), Release{});
    State& s = Store();
    std::lock_guard lock(s.mutex);
    // The picture replaced is let go of with this one kept, when no one
    // else holds it (and when it counts: a picture made elsewhere does not).
    const Release* replaced = replacing ? std::get_deleter<Release>(replacing) : nullptr;
    const uint64_t freed = replaced && replacing.use_count() == 1 ? replaced->bytes : 0;
    if (s.held - freed + bytes > s.budget) {
        return Failure("The pictures in memory would take more than the " + Mebibytes(s.budget) +
                       " this program keeps for them");
    }
    Release* release = std::get_deleter<Release>(kept);
    release->bytes = bytes;
    release->file = file;
    s.held += bytes;
    if (file) s.files[*file] = Entry{kept, kept.get(), frames};
    return kept;
}

uint64_t PictureStore::HeldBytes()
{
    State& s = Store();
    std::lock_guard lock(s.mutex);
    return s.held;
}

uint64_t PictureStore::Budget()
{
    State& s = Store();
    std::lock_guard lock(s.mutex);
    return s.budget;
}

void PictureStore::SetBudget(uint64_t bytes)
{
    State& s = Store();
    std::lock_guard lock(s.mutex);
    s.budget = bytes;
}

}  // namespace morvane
