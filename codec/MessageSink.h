// Where the codec's messages go: each message is written to the error
// stream as a line and kept, so that the program can show them afterwards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class MessageSink {
public:
    // Keeps the text (without a trailing newline) and writes it to stderr
    // followed by a newline, unless echoing is switched off.
    void Report(std::string_view text);

    const std::vector<std::string>& Messages() const { return messages_; }
    // All messages joined by newlines.
    std::string Text() const;
    void Clear() { messages_.clear(); }

    void SetEcho(bool echo) { echo_ = echo; }

private:
    std::vector<std::string> messages_;
    bool echo_ = true;
};

}  // namespace morvane
