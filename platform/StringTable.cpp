#include "platform/StringTable.h"

namespace {

struct Entry {
    int id;
    const char* text;
};

// Kept in id order.
constexpr Entry kStrings[] = {
    {57674, "Add a Texture to the Library"},
    {57675, "Load a Texture Library"},
    {57676, "Save a Texture Library"},
    {57677, "Delete a Texture from the Library"},
    {57678, "Number of Iterations at the time of Fractalization."},
    {57679, "Scale in X."},
    {57682, "Scale in Y."},
    {57683, "Turbulence in the texture."},
    {57684, "Set Reflection, Color and Brilliance Parameters."},
    {57685, "Scale Relief in X."},
    {57686, "Scale Relief in Y."},
    {57687, "Set Lighting, Color and Direction Parameters."},
    {57688, "Relief Intensity."},
    {57689, "Choice of Texture Type."},
    {57690, "Choice of Relief Type."},
    {57691, "Texture File (*.zyv) | *.zyv| Layer File (*.kvo) | *.kvo||"},
    {57692, "Open and Load a Texture"},
    {57693,
     "Texture File (*.zyv) | *.zyv| Layer File (*.kvo) | *.kvo| Tarnvale 3D Files *.tpr | *.tpr| Truevision Targa "
     "Files *.tga | *.tga| JPEG Files *.jpg | *.jpg||"},
    {57694, "Save a Texture"},
    {57695, "Add a Texture to the Library"},
    {57696, "Load a Texture Library"},
    {57697, "Library File (*.jxw) | *.jxw||"},
    {57698, "Save a Texture Library"},
    {57699, "Degrade, click the two colors to degrade in the Palette."},
    {57700, "Modify the Current Color in the Palette."},
    {57701, "Delete the Current Texture from the Library"},
    {57702, "Preview the Current Texture."},
    {57703, "Do you wish to Save your Current Work ??"},
    {57704, "The Document  "},
    {57705, " has been modified !!\n"},
    {57718,
     "Morvane Files *.kvo | *.kvo| Tarnvale 3D Files *.tpr | *.tpr| Truevision Targa Files *.tga | *.tga| JPEG Files "
     "*.jpg | *.jpg| MPEG-1 Movie Files *.mpg | *.mpg| MPEG-2 Movie Files *.m2v | *.m2v| AVI Movie Files *.avi | "
     "*.avi| FLI Movie Files *.fli | *.fli||"},
    {57719, "Open an Image File"},
    {57721,
     "Truevision Targa Files *.tga | *.tga|MPEG-1 Movie Files *.mpg | *.mpg| MPEG-2 Movie Files *.m2v | *.m2v| AVI "
     "Movie Files *.avi | *.avi| FLI Movie Files *.fli | *.fli||"},
    {57722, "Detail"},
    {57723, "Turbulence"},
    {57724, "Scale X"},
    {57725, "Scale Y"},
    {57726, "Scale Z"},
    {57727, "Z Value"},
    {57728, "Intensity"},
    {57729, "Scale in Z"},
    {57730, "Scale Relief in Z."},
    {57731, "Z Value of the Texture."},
    {57732, "Z Value of the relief."},
    {57733, "Animate the texture."},
    {57734, "Calculate the texture."},
    {57735, "Animation duration in seconds"},
    {57736, "Current time in animation."},
    {57737, "Number of keys in animation."},
    {57738, "Current key in animation."},
    {57739, "Insert a key in the animation."},
    {57740, "Delete the current key."},
    {57741, "Play the animation."},
    {57742, "Stop playing animation."},
    {57743, "Lacunarity"},
    {57744, "Omega"},
    {57745, "Detail"},
    {57746, "Texture Lacunarity"},
    {57747, "Texture Fractal Increment"},
    {57748, "Bump detail"},
    {57749, "Texture Orientation"},
    {57750, "Frequency"},
    {57751, "Phase"},
    {57752, "Blend Coef."},
    {57753, "Layer File (*.kvo) | *.kvo||"},
    {57754, "Open a Layer File"},
    {57756, "Bump Orientation"},
    {57757, "Calculate All Layers of the Texture"},
    {57758, "Calculate the Selected Layer and below"},
    {57759, "Calculate the Selected Layer only"},
    {57760, "Add a Layer to the current Texture"},
    {57761, "Delete the Selected Layer from the current Texture"},
    {57762, "Load and Add a Layer to the current Texture"},
    {57763, "Save the Selected Layer"},
    {57764, "Texture File (*.zyv) | *.zyv||"},
};

}  // namespace

QString LoadString(int id)
{
    for (const Entry& e : kStrings) {
        if (e.id == id) return QString::fromUtf8(e.text);
    }
    return QString();
}
