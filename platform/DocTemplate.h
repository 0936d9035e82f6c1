// The document template makes the document, child frame and view of one
// document type together and owns its documents: it closes a document
// when its last window goes (the MDI area owns the windows).
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CDocument;
class CMDIChildWnd;
class CMDIFrameWnd;
class CView;

// Makes the document, child frame and view of one document type.
class CDocTemplate {
public:
    using DocumentFactory = std::function<CDocument*()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*()>;

    // `docString` holds the newline-separated fields: window title,
    // document name, new-file name, filter name, filter extension, shell
    // file type id, shell file type name.
    CDocTemplate(const QString& docString, DocumentFactory doc, FrameFactory frame, ViewFactory view);
    ~CDocTemplate();

    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
    QString GetDocString(DocStringIndex index) const;

    // A new document in a new child frame of `mainFrame`, titled with the
    // document name and the next number ("Quillo1", "Quillo2", ...), shown
    // and activated.  Null when the document refuses (OnNewDocument).
    CDocument* OpenNewDocument(CMDIFrameWnd* mainFrame);
    // Another frame and view on `doc` ("New Window").
    CMDIChildWnd* CreateNewFrame(CMDIFrameWnd* mainFrame, CDocument* doc);
    // Closes every window of `doc`, then deletes it.
    void CloseDocument(CDocument* doc);

    std::vector<CDocument*> Documents() const;

private:
    friend class CDocument;
    void UpdateFrameTitles(CDocument* doc);

    QString m_strDocStrings;
    DocumentFactory m_makeDoc;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::vector<std::unique_ptr<CDocument>> m_docs;
    int m_nUntitledCount = 0;
};
