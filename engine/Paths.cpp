#include "engine/Paths.h"

#include <cctype>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace morvane {

namespace {

bool HasDriveLetter(const std::string& s)
{
    return s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool Exists(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(p, ec);
}

}  // namespace

fs::path RootFolder()
{
    if (const char* env = std::getenv("MORVANE_ROOT"); env && *env) return fs::path(env);
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "morvane";
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local/share/morvane";
    return fs::current_path() / "morvane-data";
}

fs::path WorkingFolder() { return RootFolder() / "kvo"; }

bool EnsureRootFolders()
{
    std::error_code ec;
    fs::create_directories(WorkingFolder(), ec);
    return fs::is_directory(WorkingFolder(), ec);
}

fs::path MapStoredPath(const std::string& stored)
{
    const bool windows = stored.find('\\') != std::string::npos || HasDriveLetter(stored);
    std::string s = stored;
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    if (HasDriveLetter(s)) s.erase(0, 2);
    if (s.empty()) return fs::path();
    if (s[0] == '/' && windows) {
        const size_t first = s.find_first_not_of('/');
        return first == std::string::npos ? RootFolder() : RootFolder() / s.substr(first);
    }
    return fs::path(s);
}

std::optional<fs::path> FindCaseInsensitive(const fs::path& path)
{
    if (path.empty()) return std::nullopt;
    if (Exists(path)) return path;

    // Walk down from the deepest ancestor that exists.
    fs::path base = path.is_absolute() ? path.root_path() : fs::path(".");
    fs::path rest = path.is_absolute() ? path.relative_path() : path;
    fs::path current = path.is_absolute() ? base : fs::path();
    for (const fs::path& part : rest) {
        const std::string name = part.string();
        if (name.empty() || name == ".") continue;
        const fs::path dir = current.empty() ? fs::path(".") : current;
        fs::path exact = current / part;
        if (name == ".." || Exists(exact)) {
            current = exact;
            continue;
        }
        std::error_code ec;
        fs::directory_iterator it(dir, ec), end;
        if (ec) return std::nullopt;
        bool found = false;
        for (; it != end; it.increment(ec)) {
            if (ec) return std::nullopt;
            const std::string candidate = it->path().filename().string();
            if (EqualNoCase(candidate, name)) {
                current = current / candidate;
                found = true;
                break;
            }
        }
        if (!found) return std::nullopt;
    }
    return current;
}

std::optional<fs::path> ResolveStoredPath(const std::string& stored)
{
    const fs::path mapped = MapStoredPath(stored);
    if (auto found = FindCaseInsensitive(mapped)) return found;
    if (mapped.is_absolute() && !mapped.string().starts_with(RootFolder().string())) {
        return FindCaseInsensitive(RootFolder() / mapped.relative_path());
    }
    return std::nullopt;
}

std::optional<fs::path> ProgramFolder()
{
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec || program.empty()) return std::nullopt;
    return program.parent_path();
}

std::vector<fs::path> ShippedDataFolders(const std::optional<fs::path>& programFolder)
{
    std::vector<fs::path> dirs;
#if defined(MORVANE_BUILD_TREE) && defined(MORVANE_BUILD_DATA_DIR)
    // A program of the build tree uses the data made there, and only that.
    if (programFolder) {
        const fs::path tree = fs::weakly_canonical(fs::path(MORVANE_BUILD_TREE));
        const fs::path relative = programFolder->lexically_relative(tree);
        if (!relative.empty() && *relative.begin() != "..") return {fs::path(MORVANE_BUILD_DATA_DIR)};
    }
#endif
#ifdef MORVANE_DATA_FROM_BIN
    if (programFolder) dirs.push_back((*programFolder / MORVANE_DATA_FROM_BIN).lexically_normal());
#endif
#ifdef MORVANE_DATA_CONFIGURED_DIR
    const fs::path configured(MORVANE_DATA_CONFIGURED_DIR);
    if (dirs.empty() || dirs.back() != configured) dirs.push_back(configured);
#endif
    return dirs;
}

std::vector<fs::path> DataSearchPath()
{
    const fs::path root = RootFolder();
    std::vector<fs::path> dirs{fs::path(".")};
    for (const char* d : {"dos", "windows", "kvo", "win95", "win98", "win"}) dirs.push_back(root / d);
    dirs.push_back(root);
    dirs.push_back(root / "winNT");
    // Where the program lies does not change while it runs.
    static const std::vector<fs::path> shipped = ShippedDataFolders(ProgramFolder());
    dirs.insert(dirs.end(), shipped.begin(), shipped.end());
    return dirs;
}

std::optional<fs::path> FindDataFile(const std::string& name)
{
    if (name.empty()) return std::nullopt;
    for (const fs::path& dir : DataSearchPath()) {
        if (auto found = FindCaseInsensitive(dir / name)) {
            std::error_code ec;
            if (fs::is_regular_file(*found, ec)) return found;
        }
    }
    return std::nullopt;
}

}  // namespace morvane
