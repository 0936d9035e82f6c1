// Movies as the pictures of picture layers: AVI, FLI, MPEG-1 and MPEG-2.
//
// Opening a movie (through LoadLayerPicture) loads its first frame into the
// layer's picture and sets the layer's duration from the movie's length at
// 25 frames per second.  Whoever advances time afterwards (Play, the movie
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

#include "engine/Records.h"
#include "media/Picture.h"

namespace morvane {

enum class MovieKind { None, Avi, Fli, Mpeg };

MovieKind LayerMovieKind(const Layer& layer);

// Who opens a movie.  The application (a texture, layer or library file is
// read) keeps the layer's animation as the file brings it; FLI and MPEG
// movies still set the duration.  The command panel (a movie chosen as the
// layer's picture) also sets the duration of an AVI movie and makes the
// layer an animation of two keys, at times 0 and 1, each holding the layer
// as it is, whether or not the movie could be read.
enum class MovieOpener { Application, CommandPanel };

// Opens the movie named by the layer's picture path and puts its first
// frame into the layer's picture.  A movie that cannot be read is reported
// and leaves the picture as it was.  True when the picture was replaced.
bool OpenMovieSource(Layer& layer, MovieOpener opener, const PictureReport& report);

// Puts frame n of the layer's movie into the layer's picture (its image
// size stays as it is): the one call per frame of Play and of the movie
// export.  AVI: frame n modulo the movie's frame count; FLI: n modulo the
// layer's duration x 25 frames; MPEG: display frame n, none past the end of
// the stream.  When there is no such frame (or the movie cannot be read)
// the layer keeps its picture and the result is false.  Nothing is
// reported: the user was told when the movie was opened.
bool ShowMovieFrame(Layer& layer, int n);

// Ends frame-by-frame reading: closes the MPEG input and lets go of the
// movies held open.  The next ShowMovieFrame opens its movie again; until
// then a movie that could not be opened for one frame is not tried again
// for the next ones (OpenMovieSource tries it at once).
void CloseMovieSources();

}  // namespace morvane
