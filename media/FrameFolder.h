// The private folder of one movie export's frame files: made afresh below
// the system's temporary folder (only this process can enter it), and
// removed with every file in it when the export ends, whether it succeeded
// or not.
//
// Its name, "morvane-frames-<tag>-<process id>-XXXXXX" (LeftoverStem),
// tells which process made it.  A process killed outright leaves its
// folder behind: the next export of any process of the same user, on the
// same boot and in the same PID namespace, removes the folders of
// processes that no longer run (LeftByEndedProcess); others, and the
// untagged folders of older versions, are left alone.  A process that
// called RemoveFrameFolderOnSignals removes its folder itself when a
// signal ends it: interrupted, terminated, hung up, writing into a pipe
// nobody reads any more, or past its file size limit.
#pragma once

#include <filesystem>
#include <string>

#include "engine/Result.h"

namespace morvane {

class FrameFolder {
public:
    // Makes a new folder, after removing the ones that processes no longer
    // running left behind; refused with the system's reason when it cannot
    // be made.
    static Result<FrameFolder> Create();

    FrameFolder(FrameFolder&& other) noexcept;
    FrameFolder& operator=(FrameFolder&&) = delete;
    FrameFolder(const FrameFolder&) = delete;
    ~FrameFolder();

    const std::filesystem::path& Path() const { return folder_; }

    // The path of a file in the folder.
    std::filesystem::path Add(const std::string& name) const { return folder_ / name; }

private:
    explicit FrameFolder(std::filesystem::path folder);

    std::filesystem::path folder_;
};

// From now on SIGINT, SIGTERM, SIGHUP, SIGPIPE and SIGXFSZ first remove
// the frame folder of the export in progress, then end the process as the
// signal would have (a signal that the process ignores stays ignored).
// Called at start-up by the programs that export; calling it again changes
// nothing.
void RemoveFrameFolderOnSignals();

}  // namespace morvane
