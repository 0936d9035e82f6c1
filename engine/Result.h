// What work that can fail gives back: its value, or the message that says
// why there is none.
//
// This is the one way the engine and the media code report a failure to
// their caller.  The message is whole sentences, ready to be shown; only
// the editor's windows (shell/, panels/) show it to the user, and the
// command-line tools print it.  (The codec does not use it: its messages
// go to the sink its caller hands in, codec/MessageSink.h and
// codec/DecoderMessages.h, and its calls tell success by what they return.)
//
//   Result<Texture> read = ReadTextureFile(path);
//   if (!read.ok()) return Failure(read.error);
//   Use(*read.value);
//
// Result<> is the form without a value: an empty message is success.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace morvane {

// A failure, convertible to a Result of any type.
struct Failure {
    std::string error;
    explicit Failure(std::string message) : error(std::move(message)) {}
};

template <class T = void>
struct Result {
    std::optional<T> value;
    std::string error;  // why there is no value; empty on success

    Result() = default;
    Result(T v) : value(std::move(v)) {}
    Result(Failure f) : error(std::move(f.error)) {}

    bool ok() const { return value.has_value(); }
};

template <>
struct Result<void> {
    std::string error;  // empty on success

    Result() = default;
    Result(Failure f) : error(std::move(f.error)) {}

    bool ok() const { return error.empty(); }
};

// A file's name as the messages show it: in double quotes.
inline std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace morvane
