// The application object's base: the main window, the document templates
// and the command line.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "platform/DocTemplate.h"

class CDocument;

// What the command line asks for: a new document, a file to open, a file
// to print (on the default or a named printer).  Options are the words
// "p", "pt", "dde", "Automation" and "Embedding" after "/" or "-" (any
// other argument is a file name): "p" prints the file, "pt" prints it to
// the printer named by the parameter after the file (two more parameters,
// driver and port, are read and kept); the splash window and the start-up
// tip show unless an option is given.  Opening takes every file named (a
// desktop passes all the files the user chose); printing the first.
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

class CWinApp : public QObject {
    Q_OBJECT
public:
    CWinApp();
    ~CWinApp() override;

    void AddDocTemplate(std::unique_ptr<CDocTemplate> tmpl);
    const std::vector<std::unique_ptr<CDocTemplate>>& DocTemplates() const { return m_templates; }
    // Every document of every template, in template order.
    std::vector<CDocument*> AllDocuments() const;
    // The open document of the file `path` names, however it is named (a
    // link, another spelling of the path); null when none.
    CDocument* FindOpenDocument(const QString& path) const;

private:
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
};
