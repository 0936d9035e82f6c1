// Movies as the pictures of picture layers: AVI, FLI, MPEG-1 and MPEG-2.
//
// Opening a movie (through LoadLayerPicture) loads its first frame into the
// layer's picture and sets the layer's duration from the movie's length at
// 25 frames per second.  Every frame shown enters the layer as any picture
// does (media/PictureStore.h): a frame beyond the pictures' budget is not
// shown.  Whoever advances time afterwards (Play, the movie
// export) calls ShowMovieFrame once per frame with the movie's frame for
// that time (MovieFrameAt in engine/Animation.h: an NTSC export at 30
// frames a second still shows 25 movie frames a second), and
// CloseMovieSources when done.
//
// The movie a layer plays is named by the last three characters of its
// picture path, compared exactly: "avi", "fli", "mpg" or "m2v".  Files are
// found as stored picture paths are (below the root folder for
// "C:\kvo\..." paths); an FLI movie is also looked for by its name along
// the data-file search path.
//
// Open movies are kept between frames (one decoder per file, the MPEG
// decoder for one file at a time), so that frames asked for in order cost
// one frame each.  Everything runs on the user-interface thread.
#pragma once

#include <optional>
#include <string>

#include "engine/Records.h"
#include "media/Picture.h"

namespace morvane {

enum class MovieKind { None, Avi, Fli, Mpeg };

MovieKind LayerMovieKind(const Layer& layer);

// The kind of movie a stored picture path names by its last three
// characters (None for anything else).
MovieKind MovieKindOf(const std::string& stored);

// Who opens a movie.  The application (a texture, layer or library file is
// read) keeps the layer's animation as the file brings it; FLI and MPEG
// movies still set the duration.  The command panel (a movie chosen as the
// layer's picture) also sets the duration of an AVI movie and makes the
// layer an animation of two keys, at times 0 and 1, each holding the layer
// as it is, whether or not the movie could be read.
enum class MovieOpener { Application, CommandPanel };

// The first frame of a movie, and the number of its frames.
struct MovieStart {
    Picture first;
    int frames = 0;
};

// Reads the first frame of the movie named by the stored picture path
// (whose last three characters tell its kind) and counts its frames; what
// was held open of that file for frames is let go of.  A movie that cannot
// be read is reported and gives nothing.  Layers take the first frame, and
// their duration and animation, through LoadLayerPicture.
std::optional<MovieStart> ReadMovieStart(const std::string& stored, const PictureReport& report);

// Puts frame n of the layer's movie into the layer's picture (its image
// size stays as it is): the one call per frame of Play and of the movie
// export.  AVI: frame n modulo the movie's frame count; FLI: n modulo the
// layer's duration x 25 frames; MPEG: display frame n, none past the end of
// the stream.  When there is no such frame (or the movie cannot be read)
// the layer keeps its picture and the result is false.  Nothing is
// reported: the user was told when the movie was opened.  A frame beyond
// the pictures' budget is not shown either.
bool ShowMovieFrame(Layer& layer, int n);

// Ends frame-by-frame reading: closes the MPEG input and lets go of the
// movies held open.  The next ShowMovieFrame opens its movie again; until
// then a movie that could not be opened for one frame is not tried again
// for the next ones (ReadMovieStart tries it at once).
void CloseMovieSources();

}  // namespace morvane
