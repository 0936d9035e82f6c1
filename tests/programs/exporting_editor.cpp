// A child of the shell's tests: the editor started as a user starts it
// (offscreen unless another platform is chosen) on a texture file, which
// then saves the texture as a movie through Save As and ends; the dialogs
// are scripted.  The tests end it with signals while it writes the frames.
//
//   exporting_editor TEXTURE MOVIE PROFILE
//
// Exits 0 when the movie is saved, 1 when the editor does not start or
// the export fails (its message on stderr), 2 for other arguments.
#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "shell/MainFrame.h"
#include "shell/QuillonApp.h"
#include "shell/Resource.h"
#include "support/ScriptedDialogs.h"

int main(int argc, char** argv)
{
    if (argc != 4) return 2;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    ScriptedDialogs ui;
    ui.files = {{QString::fromLocal8Bit(argv[2])}};
    CQuillonApp editor(ui, argv[3]);
    if (!editor.InitInstance({QString::fromLocal8Bit(argv[1])}) || !editor.MainFrame()) return 1;
    editor.MainFrame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    editor.ExitInstance();
    for (const ScriptedDialogs::ShownMessage& m : ui.messages) std::fprintf(stderr, "%s\n", qPrintable(m.text));
    return ui.messages.empty() ? 0 : 1;
}
