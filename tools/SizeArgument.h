// A picture size on a command line, "WxH": two whole numbers of decimal
// digits, from 1 to `largest` each, joined by an "x".  A number too large
// for any integer is refused, never wrapped.  Header only, for the tools.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

namespace morvane {

inline std::optional<int> SizeSide(std::string_view text, int largest)
{
    int side = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, side);
    if (text.empty() || text[0] == '-' || error != std::errc() || stop != end) return std::nullopt;
    if (side < 1 || side > largest) return std::nullopt;
    return side;
}

inline std::optional<std::pair<int, int>> ParseSizeArgument(std::string_view text, int largest)
{
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const std::optional<int> width = SizeSide(text.substr(0, x), largest);
    const std::optional<int> height = SizeSide(text.substr(x + 1), largest);
    if (!width || !height) return std::nullopt;
    return std::pair{*width, *height};
}

}  // namespace morvane
