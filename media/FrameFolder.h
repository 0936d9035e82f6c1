// The private folder of one movie export's frame files: made afresh below
// the system's temporary folder (only this process can enter it), and
// removed with exactly the files made in it when the export ends, whether
// it succeeded or not.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class FrameFolder {
public:
    // Makes a new folder; nullopt (and the reason in `error`) when it
    // cannot be made.
    static std::optional<FrameFolder> Create(std::string* error);

    FrameFolder(FrameFolder&& other) noexcept;
    FrameFolder& operator=(FrameFolder&&) = delete;
    FrameFolder(const FrameFolder&) = delete;
    ~FrameFolder();

    const std::filesystem::path& Path() const { return folder_; }

    // The path of a file in the folder, noted for removal.
    std::filesystem::path Add(const std::string& name);

private:
    explicit FrameFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::filesystem::path folder_;
    std::vector<std::filesystem::path> files_;
};

}  // namespace morvane
