// The application object: start-up in its fixed order, the application's
// commands, the things that live as long as the program (the dialog layer
// it is handed, the interface texture behind the panels, the sphere table,
// the printer) and shut-down.
#pragma once

#include <QPrinter>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>

#include "engine/Records.h"
#include "engine/Sphere.h"
#include "platform/CommandLineInfo.h"
#include "platform/Profile.h"
#include "platform/WinApp.h"
#include "shell/RecentFileList.h"

class CChildFrame;
class CDocTemplate;
class CMDIChildWnd;
class CMainFrame;
class CQuillonDoc;
class CQuillonView;
class UiDialogs;

class CQuillonApp : public CWinApp {
    Q_OBJECT
public:
    // Every question and message goes through `ui`; what the program keeps
    // between runs is in the profile `profile`.
    CQuillonApp(UiDialogs& ui, const std::filesystem::path& profile);
    ~CQuillonApp() override;

    // Starts the program with the command-line arguments (without the
    // program's name).  False ends the program at once.
    bool InitInstance(const QStringList& arguments);
    // After the event loop: writes what the program keeps between runs.
    int ExitInstance();

    CMainFrame* MainFrame() const;
    CDocTemplate* DocTemplate() const;
    UiDialogs& Ui() const { return m_ui; }
    IniProfile& Profile() { return m_profile; }

    // --- Members other parts read -----------------------------------
    QString m_strInterfaceTexture;         // path of the interface texture, as stored
    morvane::Texture m_interfaceTexture;   // no layers until a load succeeds
    morvane::SphereTable m_sphereTable;    // the light picker's sphere normals
    bool m_bShowSplash = true;             // the command line allows the splash and the start-up tip

    QPrinter& Printer();

    // --- Commands ---------------------------------------------------
    void OnFileNew();
    void OnFileOpen();
    void OnOpenRecentFile(int n);  // 1..8
    void OnFileSave();
    void OnFileSaveAs();
    void OnAppExit();
    void OnImageFormat();
    void OnWebPager();
    void OnTipOfTheDay();
    void OnAppAbout();
    void OnFilePrintSetup();
    void OnLoadInterfaceTexture();
    void OnToggleBar(int barId);

    // --- Operations -------------------------------------------------
    // Reads m_strInterfaceTexture into m_interfaceTexture; false (and the
    // old texture kept) when it cannot be read.  `error` gets the reason.
    bool LoadInterfaceTexture(QString* error = nullptr);
    void ShowTipAtStartup();
    void LoadDefaultLibrary();

    // Opens a file into a new document, as File > Open opens one file, or
    // activates the window of the document that has it open already.  Null
    // when there is no document of it.
    virtual CQuillonDoc* OpenDocumentFile(const QString& path);
    // Files dropped on the main window, or sent while a render ran.
    void OpenDroppedFiles(const QStringList& paths);
    // Writes the document's texture as Save does; false (after saying
    // why) when it was not written.
    virtual bool SaveTextureFile(CQuillonDoc* doc);
    // The labels of the recent-file entries of the File menu, most recent
    // first.
    QStringList RecentFileLabels() const;
    // Puts a file in front of the recent-file list.
    void AddRecentFile(const QString& path);
    void LoadRecentFileList();
    void SaveRecentFileList();

    // The fit after New, Open and at start-up: the active view's scroll
    // sizes become its document's image size and the active child frame
    // shows exactly the image, without moving, as far as the free room
    // allows.
    void FitActiveFrame();

    // Asks the save question for every modified document; false when the
    // user cancels or a save fails (the caller then stops, nothing lost).
    bool AskToSaveAll();
    // Asks whether to save a modified document, naming it as `window`'s
    // title does; Yes saves it, No leaves it.  False when the user cancels
    // (Escape) or the save fails.
    bool SaveModified(CQuillonDoc* doc, const CMDIChildWnd* window);

    bool QuitRequested() const { return m_quitRequested; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ProcessShellCommand(const CCommandLineInfo& info);
    // The Open dialog of texture and layer files; `several` allows more
    // than one file.  The chosen paths, none on cancel.
    QStringList AskTextureFiles(bool several);

    UiDialogs& m_ui;
    IniProfile m_profile;
    RecentFileList m_recentFiles;
    CDocTemplate* m_pDocTemplate = nullptr;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<QPrinter> m_printer;
    bool m_quitRequested = false;
};
