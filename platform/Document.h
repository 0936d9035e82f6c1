// A CDocument holds the data of one open file or new document: its title
// ("Quillo1", ...), its path, its modified flag and the views that show
// it.  Its document template owns it and closes it when its last window
// goes.
#pragma once

#include <QObject>
#include <QString>

#include <vector>

class CDocTemplate;
class CView;

class CDocument : public QObject {
    Q_OBJECT
public:
    CDocument();
    ~CDocument() override;

    // Called for a new document after its title is set: base behaviour
    // clears the modified flag and the path.  False refuses the document.
    virtual bool OnNewDocument();

    // The title keeps its file name's bytes (see FileName.h); windows,
    // messages and printouts show it as it reads.
    const QString& GetTitle() const { return m_strTitle; }
    QString ShownTitle() const;
    virtual void SetTitle(const QString& title);

    const QString& GetPathName() const { return m_strPathName; }
    // Sets the path and makes the file name the title.
    virtual void SetPathName(const QString& path);
    // The document no longer has a file (Save asks for a name); the title
    // stays.
    void ClearPathName() { m_strPathName.clear(); }

    bool IsModified() const { return m_bModified; }
    // The one place the flag changes: the document's windows show it.
    void SetModifiedFlag(bool modified = true);

    const std::vector<CView*>& Views() const { return m_views; }
    // Every view but `sender` gets OnUpdate.
    void UpdateAllViews(CView* sender, long hint = 0, QObject* hintObject = nullptr);

    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

signals:
    void titleChanged();

protected:
    // The document closes (CDocTemplate::CloseDocument): every window
    // showing it closes.
    virtual void OnCloseDocument();

private:
    friend class CView;
    friend class CDocTemplate;
    void AddView(CView* view);
    // The document closes when this was its last view (unless it is
    // closing already).
    void RemoveView(CView* view);

    QString m_strTitle;
    QString m_strPathName;
    bool m_bModified = false;
    bool m_bClosing = false;
    std::vector<CView*> m_views;
    CDocTemplate* m_pDocTemplate = nullptr;
};
