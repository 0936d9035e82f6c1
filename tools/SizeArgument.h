// Numbers on a command line: a whole number of decimal digits (a "-" only
// before a negative one) within given bounds, and a picture size, "WxH",
// two such numbers from 1 to `largest` joined by an "x".  A number too
// large for any integer is refused, never wrapped.  Header only, for the
// tools.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

namespace morvane {

inline std::optional<int> WholeNumberArgument(std::string_view text, int least, int largest)
{
    int number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end || number < least || number > largest) return std::nullopt;
    return number;
}

inline std::optional<std::pair<int, int>> ParseSizeArgument(std::string_view text, int largest)
{
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const std::optional<int> width = WholeNumberArgument(text.substr(0, x), 1, largest);
    const std::optional<int> height = WholeNumberArgument(text.substr(x + 1), 1, largest);
    if (!width || !height) return std::nullopt;
    return std::pair{*width, *height};
}

}  // namespace morvane
