// The editor: the application object starts the program, the event loop
// runs it, and the recent files are kept when it ends.
#include <QApplication>

#include "platform/FileName.h"
#include "platform/QtDialogs.h"
#include "shell/QuillonApp.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    QtDialogs dialogs;
    CQuillonApp morvane(dialogs, IniProfile::DefaultPath());
    // The arguments Qt left, as bytes: a file name need not be UTF-8.
    if (!morvane.InitInstance(CommandLineArguments(argc, argv))) {
        morvane.ExitInstance();
        return 0;
    }
    const int code = app.exec();
    morvane.ExitInstance();
    return code;
}
