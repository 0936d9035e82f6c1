#include "shell/TipFile.h"

#include <sys/stat.h>

#include <ctime>

#include "engine/Paths.h"
#include "engine/SafeFile.h"

namespace morvane {

namespace {

constexpr int kLineBuffer = 1000;

bool IsSkipped(const std::string& line)
{
    if (line.empty()) return true;
    const char c = line[0];
    return c == '\t' || c == '\n' || c == ' ' || c == ';';
}

}  // namespace

TipFile::TipFile(std::FILE* file, std::filesystem::path path) : m_file(file), m_path(std::move(path)) {}

TipFile::~TipFile() { std::fclose(m_file); }

std::unique_ptr<TipFile> TipFile::Open(const std::filesystem::path& path)
{
    // Only a regular file: a pipe in its place must not hold start-up.
    InputFile input(path);
    std::FILE* f = input.ok() ? input.TakeStream() : nullptr;
    if (!f) return nullptr;
    return std::unique_ptr<TipFile>(new TipFile(f, path));
}

std::string TipFile::TimeStamp() const
{
    struct stat st {};
    if (::fstat(fileno(m_file), &st) != 0) return std::string();
    char text[64] = {};
    const time_t t = st.st_mtime;
    if (!ctime_r(&t, text)) return std::string();
    std::string s(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
    return s;
}

long TipFile::Position() const { return std::ftell(m_file); }

bool TipFile::Seek(long position) { return std::fseek(m_file, position, SEEK_SET) == 0; }

TipFile::Status TipFile::ReadNextTip(std::string* tip)
{
    char buffer[kLineBuffer];
    int endsReached = 0;
    for (;;) {
        if (!std::fgets(buffer, kLineBuffer, m_file)) {
            // The end (or an unreadable rest): on from the start, but only
            // once, so that a file without tips ends the search.
            if (++endsReached == 2) return Status::NoTip;
            std::clearerr(m_file);
            if (!Seek(0)) return Status::SeekFailed;
            continue;
        }
        std::string line(buffer);
        if (line.size() >= 2 && line.ends_with("\r\n")) line.replace(line.size() - 2, 2, "\n");
        if (IsSkipped(line)) continue;
        *tip = std::move(line);
        return Status::Tip;
    }
}

std::optional<std::filesystem::path> FindTipsFile() { return FindDataFile("tips.txt"); }

}  // namespace morvane
