// The tips file of the tip of the day: a text file with one tip per line.
//
// Lines are read with a 1000-byte buffer, so a line is taken up to 999
// characters and the rest of a longer line is read as the next line; the
// newline stays at the end of a tip ("\r\n" is read as "\n").  A line whose
// first character is a tab, a newline, a blank or ";" is skipped (comments
// and empty lines).  At the end of the file the search goes on from the
// start; a file without any tip line ends the search after one whole pass.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace morvane {

class TipFile {
public:
    // The file opened for reading; null when it cannot be opened.
    static std::unique_ptr<TipFile> Open(const std::filesystem::path& path);
    ~TipFile();
    TipFile(const TipFile&) = delete;
    TipFile& operator=(const TipFile&) = delete;

    // The modification time as the C library's ctime text, without the
    // trailing newline; empty when the time cannot be read.
    std::string TimeStamp() const;

    // Byte offset of the next line to read.
    long Position() const;
    // False when the position cannot be set (a negative one, for example).
    bool Seek(long position);

    enum class Status {
        Tip,         // `tip` holds the next tip
        NoTip,       // the file holds no tip line
        SeekFailed,  // going back to the start failed
    };
    Status ReadNextTip(std::string* tip);

private:
    explicit TipFile(std::FILE* file, std::filesystem::path path);

    std::FILE* m_file;
    std::filesystem::path m_path;
};

// "tips.txt" in the current folder, else through the data-file search.
std::optional<std::filesystem::path> FindTipsFile();

}  // namespace morvane
