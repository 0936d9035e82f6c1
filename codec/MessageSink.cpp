#include "codec/MessageSink.h"

#include <cstdio>

namespace morvane {

void MessageSink::Report(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    messages_.emplace_back(text);
    if (echo_) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
}

std::string MessageSink::Text() const
{
    std::string all;
    for (const std::string& m : messages_) {
        if (!all.empty()) all += '\n';
        all += m;
    }
    return all;
}

}  // namespace morvane
