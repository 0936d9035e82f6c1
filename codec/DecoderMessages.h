// Where the MPEG decoder's messages go.
//
// The decoder reports two kinds of text: diagnostics of the stream (damaged
// blocks, unexpected start codes, ...), which are lines for the error
// stream, and alerts meant for the user (a movie file that cannot be
// opened), which a windowed caller shows in a message box.  By default both
// are written to stderr; the editor and the tests install their own sink.
// The decoder's sink is its own: the encoder reports through a sink of its
// own.
#pragma once

#include <functional>
#include <string>

namespace morvane {

enum class DecoderMessageKind {
    Diagnostic,  // a line for the error stream; decoding goes on or stops
    Alert,       // shown to the user (exclamation icon, OK button)
};

using DecoderMessageSink = std::function<void(DecoderMessageKind, const std::string&)>;

// Replaces the sink; an empty function restores the default (stderr).
// Returns the sink that was installed before.
DecoderMessageSink SetDecoderMessageSink(DecoderMessageSink sink);

// Sends one message to the sink.  Diagnostic texts carry their own "\n".
void DecoderMessage(DecoderMessageKind kind, const std::string& text);

// printf-style diagnostic.
void DecoderDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink for the lifetime of the object and restores the previous
// one afterwards.
class ScopedDecoderMessageSink {
public:
    explicit ScopedDecoderMessageSink(DecoderMessageSink sink) : previous_(SetDecoderMessageSink(std::move(sink))) {}
    ~ScopedDecoderMessageSink() { SetDecoderMessageSink(std::move(previous_)); }
    ScopedDecoderMessageSink(const ScopedDecoderMessageSink&) = delete;
    ScopedDecoderMessageSink& operator=(const ScopedDecoderMessageSink&) = delete;

private:
    DecoderMessageSink previous_;
};

}  // namespace morvane
