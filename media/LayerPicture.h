// Loading the picture of a picture layer from the file its picture path
// names.
//
// The extension after the last "." of the path, compared exactly, decides:
// "jpg" (JPEG), "tga" (TGA), "avi", "fli", "mpg" and "m2v" (movies, see
// media/MovieSource.h).  An empty path or any other extension leaves the
// layer as it is without a word.  A file that cannot be used is reported
// and leaves the layer as it was (reported only when the layer's material
// shows its picture); a picture is put in whole and sets the layer's width
// and height.
//
// Pictures are held as media/PictureStore.h says: a file whose picture is
// held already, unchanged, is not read again but shared, and a picture
// beyond the budget of all pictures is refused with a message that names
// the layer.  Memory that runs out while a picture is read is not caught
// here: it ends the command that loads the picture (see where the editor
// and texturetool catch it).
#pragma once

#include "engine/Records.h"
#include "media/MovieSource.h"
#include "media/Picture.h"

namespace morvane {

// Loads the picture of the layer numbered `layerNumber` (1-based, for the
// messages); a movie: its first frame, see MovieOpener for what `opener`
// changes.  True when the picture was replaced.
bool LoadLayerPicture(Layer& layer, int layerNumber, MovieOpener opener, const PictureReport& report);

// Loads the picture of every layer of a texture that was just read from a
// texture, layer or library file (the engine's readers load none): as the
// application opens pictures, each failure told to `report`.
void LoadLayerPictures(Texture& texture, const PictureReport& report);

}  // namespace morvane
