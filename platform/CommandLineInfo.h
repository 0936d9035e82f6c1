// What the command line asks for: a new document, a file to open, a file
// to print (on the default or a named printer).  Options are the words
// "p", "pt", "dde", "Automation" and "Embedding" after "/" or "-" (any
// other argument is a file name): "p" prints the file, "pt" prints it to
// the printer named by the parameter after the file (two more parameters,
// driver and port, are read and kept); the splash window and the start-up
// tip show unless an option is given.  Opening takes every file named (a
// desktop passes all the files the user chose); printing the first.
#pragma once

#include <QString>
#include <QStringList>

class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, FileNothing };

    void ParseParam(const QString& param, bool isFlag, bool isLast);
    static CCommandLineInfo Parse(const QStringList& arguments);  // without the program name

    ShellCommand m_nShellCommand = FileNew;
    bool m_bShowSplash = true;
    QString m_strFileName;      // the first file named
    QStringList m_fileNames;    // every file to open (FileOpen)
    QString m_strPrinterName;
    QString m_strDriverName;
    QString m_strPortName;

private:
    int m_pendingPrintTo = 0;
};
