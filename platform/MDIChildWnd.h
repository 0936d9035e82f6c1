// A child frame: one document window in the main window's MDI area,
// around one view of a document.  It closes with its document or when the
// user closes it (OnClose may refuse); its view then leaves the document.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QSize>
#include <QString>

class CDocument;
class CView;

class CMDIChildWnd : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CMDIChildWnd(QWidget* parent = nullptr);
    ~CMDIChildWnd() override;

    CView* GetActiveView() const;
    CDocument* GetActiveDocument() const;
    void SetView(CView* view);

    // The window's title, its document's as it reads ("a.zyv", or
    // "a.zyv:2" for the second window of a document), shown with Qt's
    // modified mark while `modified`.
    void SetTitle(const QString& title, bool modified);
    const QString& GetTitle() const { return m_strTitle; }

    // The user or the program closes the frame: false keeps it open.
    virtual bool OnClose() { return true; }
    // Closes without asking.
    void DestroyWindow();
    // Makes the frame the active one, shown as it was before it was
    // minimised.
    void ActivateFrame();

    // The size of the frame whose view window is exactly `client`, from
    // the frame's real margins.
    QSize FrameSizeForClient(QSize client) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Tab leaves the document window for the main window's next control.
    bool focusNextPrevChild(bool next) override;

private:
    QPointer<CView> m_view;
    QString m_strTitle;
    bool m_forceClose = false;
};
