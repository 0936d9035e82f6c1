// Where the MPEG decoder's messages go.
//
// The decoder reports two kinds of text: diagnostics of the stream (damaged
// blocks, unexpected start codes, ...), which are lines for the error
// stream, and alerts meant for the user (a movie file that cannot be
// opened), which a windowed caller shows in a message box.  Like the
// encoder's, the decoder's sink is handed in by its caller: to the decoder
// when it is made, to the front-end calls (codec/Decoder.h) and to the frame
// writer.  An empty sink writes both kinds to stderr.
#pragma once

#include <functional>
#include <string>

namespace morvane {

enum class DecoderMessageKind {
    Diagnostic,  // a line for the error stream; decoding goes on or stops
    Alert,       // shown to the user (exclamation icon, OK button)
};

using DecoderMessageSink = std::function<void(DecoderMessageKind, const std::string&)>;

// Sends one message to the sink (stderr when it is empty).  Diagnostic
// texts carry their own "\n".
void DecoderMessage(const DecoderMessageSink& sink, DecoderMessageKind kind, const std::string& text);

// printf-style diagnostic.
void DecoderDiagnostic(const DecoderMessageSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace morvane
