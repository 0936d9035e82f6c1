#include "media/FrameFolder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace morvane {

std::optional<FrameFolder> FrameFolder::Create(std::string* error)
{
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "morvane-frames-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        if (error) *error = std::strerror(errno);
        return std::nullopt;
    }
    return FrameFolder(pattern);
}

FrameFolder::FrameFolder(FrameFolder&& other) noexcept
    : folder_(std::move(other.folder_)), files_(std::move(other.files_))
{
    other.folder_.clear();
    other.files_.clear();
}

FrameFolder::~FrameFolder()
{
    if (folder_.empty()) return;
    for (const std::filesystem::path& f : files_) ::unlink(f.c_str());
    ::rmdir(folder_.c_str());
}

std::filesystem::path FrameFolder::Add(const std::string& name)
{
    files_.push_back(folder_ / name);
    return files_.back();
}

}  // namespace morvane
