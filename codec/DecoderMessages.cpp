#include "codec/DecoderMessages.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace morvane {

void DecoderMessage(const DecoderMessageSink& sink, DecoderMessageKind kind, const std::string& text)
{
    if (sink) {
        sink(kind, text);
        return;
    }
    std::fputs(text.c_str(), stderr);
    if (kind == DecoderMessageKind::Alert) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void DecoderDiagnostic(const DecoderMessageSink& sink, const char* format, ...)
{
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (n < 0) {
        text = format;
    } else if (static_cast<size_t>(n) < sizeof small) {
        text.assign(small, static_cast<size_t>(n));
    } else {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, copy);
        text.assign(big.data(), static_cast<size_t>(n));
    }
    va_end(copy);
    DecoderMessage(sink, DecoderMessageKind::Diagnostic, text);
}

}  // namespace morvane
