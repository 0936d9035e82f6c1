#include "shell/QuillonApp.h"

#include <QApplication>
#include <QIcon>
#include <QMdiArea>
#include <QScreen>

#include <new>

#include "engine/Noise.h"
#include "engine/Paths.h"
#include "engine/Presets.h"
#include "engine/SafeFile.h"
#include "engine/TextureFile.h"
#include "media/FrameFolder.h"
#include "media/LayerPicture.h"

#include "panels/CommandBar.h"
#include "panels/LibraryDlg.h"
#include "platform/ControlBar.h"
#include "platform/DocTemplate.h"
#include "platform/Document.h"
#include "platform/FileName.h"
#include "platform/MDIChildWnd.h"
#include "platform/UiDialogs.h"
#include "platform/View.h"
#include "shell/AboutDlg.h"
#include "shell/ChildFrame.h"
#include "shell/FormatDlg.h"
#include "shell/MainFrame.h"
#include "shell/QuillonDoc.h"
#include "shell/QuillonView.h"
#include "shell/Resource.h"
#include "shell/SplashWnd.h"
#include "shell/TipDlg.h"
#include "shell/WebPager.h"

namespace {
const QString kDefaultInterfaceTexture = QStringLiteral("\\kvo\\interface.zyv");
}

CQuillonApp::CQuillonApp(UiDialogs& ui, const std::filesystem::path& profile) : m_ui(ui), m_profile(profile) {}

CQuillonApp::~CQuillonApp()
{
    // The windows go before what they were handed.
    m_mainFrame.reset();
}

CMainFrame* CQuillonApp::MainFrame() const { return m_mainFrame.get(); }

CDocTemplate* CQuillonApp::DocTemplate() const { return m_pDocTemplate; }

QPrinter& CQuillonApp::Printer()
{
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

bool CQuillonApp::InitInstance(const QStringList& arguments)
{
    SetAppCaption(shelltext::kAppTitle);
    if (const QIcon icon = ProgramIcon(); !icon.isNull()) QApplication::setWindowIcon(icon);

    // A movie export that a signal ends takes its frame files with it.
    morvane::RemoveFrameFolderOnSignals();

    // The root folder that stands for the current drive, with its
    // working folder; data files are searched below it.
    morvane::EnsureRootFolders();

    // The command line decides the splash window and the start-up tip.
    m_bShowSplash = CCommandLineInfo::Parse(arguments).m_bShowSplash;
    CSplashWnd::EnableSplash(m_bShowSplash);
    // Every event passes the splash window's hook first.
    qApp->installEventFilter(this);

    // The profile's recent files.
    LoadRecentFileList();

    // One document template: document, child frame and view.
    auto tmpl = std::make_unique<CDocTemplate>(
        shelltext::kDocStrings, [] { return new CQuillonDoc; },
        [this] { return new CChildFrame(*this); }, [this] { return m_mainFrame->CreateView(); });
    m_pDocTemplate = tmpl.get();
    AddDocTemplate(std::move(tmpl));

    // The main frame with its bars and panels.
    m_mainFrame = std::make_unique<CMainFrame>(*this);
    // Messages stand over the main frame, which outlives them all.
    m_ui.SetOwner(m_mainFrame.get());
    if (!m_mainFrame->LoadFrame()) return false;
    CMainFrame* frame = m_mainFrame.get();
    frame->OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    frame->OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    for (int i = 0; i < kRecentFileCount; ++i)
        frame->OnCommand(ID_FILE_MRU_FILE1 + i, [this, i] { OnOpenRecentFile(i + 1); });
    frame->OnCommand(ID_FILE_SAVE_TEXTURE, [this] { OnFileSave(); });
    frame->OnCommand(ID_FILE_SAVE_AS_TEXTURE, [this] { OnFileSaveAs(); });
    frame->OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    frame->OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    frame->OnCommand(ID_IMAGE_FORMAT, [this] { OnImageFormat(); });
    frame->OnCommand(ID_WEB_PAGER, [this] { OnWebPager(); });
    frame->OnCommand(ID_TIP_OF_THE_DAY, [this] { OnTipOfTheDay(); });
    frame->OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    frame->OnCommand(ID_LOAD_INTERFACE_TEXTURE, [this] { OnLoadInterfaceTexture(); });
    frame->OnCommand(ID_TOGGLE_COMMAND_BAR, [this] { OnToggleBar(IDD_COMMAND_BAR); });
    frame->OnCommand(ID_TOGGLE_LIBRARY, [this] { OnToggleBar(IDD_LIBRARY_BAR); });
    frame->OnCommand(ID_TOGGLE_PALETTE, [this] { OnToggleBar(IDD_PALETTE_BAR); });
    frame->OnCommand(ID_TOGGLE_KEYFRAMES, [this] { OnToggleBar(IDD_KEYFRAME_BAR); });

    // The command line again; the noise tables, whose kernels and
    // dot-product path follow the processor's features (NoiseInit asks
    // for them) before anything renders (the first document's panels do).
    const CCommandLineInfo cmdInfo = CCommandLineInfo::Parse(arguments);
    morvane::NoiseInit();

    // The sphere table (all zero when the file is missing).
    m_sphereTable.Load();

    // The interface texture behind the panels.
    m_strInterfaceTexture = kDefaultInterfaceTexture;
    LoadInterfaceTexture();

    // A new document, or the files the command line names, fitted to
    // the room the maximised window will give them.  (Without a window
    // manager nothing maximises a window: take the screen's room.)
    if (QScreen* screen = frame->screen()) frame->setGeometry(screen->availableGeometry());
    frame->RecalcLayout();
    if (!ProcessShellCommand(cmdInfo)) return false;

    // The main window, maximised.
    frame->showMaximized();
    frame->RecalcLayout();

    // The active child frame shows exactly its image, in the room the
    // shown window has.
    FitActiveFrame();

    // The default library and the tip of the day.
    LoadDefaultLibrary();
    ShowTipAtStartup();

    // The command panel shows its state.
    if (frame->m_pCommandPanel) frame->m_pCommandPanel->update();

    // Files dropped on the main window open as File > Open opens them.
    frame->setAcceptDrops(true);
    return true;
}

int CQuillonApp::ExitInstance()
{
    SaveRecentFileList();
    return 0;
}

bool CQuillonApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        OnFileNew();
        return MainFrame()->ActiveDocument() != nullptr;
    case CCommandLineInfo::FileOpen:
        // A file that cannot be opened has said why; the program goes on.
        for (const QString& file : info.m_fileNames) OpenDocumentFile(file);
        return true;
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo: {
        // Print the file and end.
        if (CQuillonDoc* doc = OpenDocumentFile(info.m_strFileName)) {
            QPrinter printer(QPrinter::HighResolution);
            if (info.m_nShellCommand == CCommandLineInfo::FilePrintTo) printer.setPrinterName(info.m_strPrinterName);
            if (!doc->Views().empty()) static_cast<CQuillonView*>(doc->Views().front())->PrintTo(printer);
        }
        return false;
    }
    case CCommandLineInfo::FileDDE:
    case CCommandLineInfo::FileNothing:
        return true;
    }
    return true;
}

void CQuillonApp::FitActiveFrame()
{
    CMainFrame* frame = MainFrame();
    if (!frame) return;
    CChildFrame* child = frame->ActiveChildFrame();
    CQuillonDoc* doc = frame->ActiveDocument();
    CView* view = frame->GetActiveView();
    if (!child || !doc || !view) return;
    frame->SetActiveImageSize(doc->m_sizeImage, CMainFrame::FitInPlace);
}

// ---------------------------------------------------------------------------
// Commands

void CQuillonApp::OnFileNew()
{
    if (!m_pDocTemplate || !MainFrame()) return;
    if (!m_pDocTemplate->OpenNewDocument(MainFrame())) return;
    FitActiveFrame();
}

void CQuillonApp::OnToggleBar(int barId)
{
    CMainFrame* frame = MainFrame();
    if (!frame) return;
    CControlBar* bar = frame->ControlBar(barId);
    if (!bar) return;
    frame->ShowControlBar(bar, !bar->IsBarVisible());
}

bool CQuillonApp::AskToSaveAll()
{
    for (CDocument* d : AllDocuments()) {
        auto* doc = qobject_cast<CQuillonDoc*>(d);
        const CMDIChildWnd* window = doc && !doc->Views().empty() ? doc->Views().front()->GetParentFrame() : nullptr;
        if (!SaveModified(doc, window)) return false;
    }
    return true;
}

bool CQuillonApp::SaveModified(CQuillonDoc* doc, const CMDIChildWnd* window)
{
    if (!doc || !doc->IsModified()) return true;
    const QString name = window ? window->GetTitle() : doc->ShownTitle();
    const QString question = shelltext::SaveQuestion(name);
    switch (m_ui.MessageBox(MainFrame(), question, AppCaption(), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES: return SaveTextureFile(doc);
    case IDNO: return true;
    default: return false;
    }
}

void CQuillonApp::OnAppExit()
{
    // The questions come first: a save that fails keeps the program (and
    // everything it holds) as it was.
    if (!AskToSaveAll()) return;
    m_sphereTable = morvane::SphereTable();
    m_quitRequested = true;
    if (CMainFrame* frame = MainFrame()) {
        frame->SetExiting(true);
        frame->close();
    }
    QCoreApplication::exit(0);
}

void CQuillonApp::OnFilePrintSetup() { m_ui.PageSetupDialog(MainFrame(), Printer()); }

bool CQuillonApp::eventFilter(QObject* watched, QEvent* event)
{
    // A key or mouse press hides the splash and still goes to its window.
    CSplashWnd::SplashPreTranslate(event);
    return CWinApp::eventFilter(watched, event);
}

void CQuillonApp::OnAppAbout()
{
    CAboutDlg dlg(m_ui, MainFrame());
    dlg.DoModal();
}

void CQuillonApp::OnTipOfTheDay()
{
    CTipDlg dlg(m_ui, m_profile, MainFrame());
    dlg.DoModal();
}

void CQuillonApp::ShowTipAtStartup()
{
    if (!m_bShowSplash) return;
    CTipDlg dlg(m_ui, m_profile, MainFrame());
    if (dlg.m_bStartup) dlg.DoModal();
}

void CQuillonApp::OnWebPager()
{
    const CDocument* doc = MainFrame() ? MainFrame()->GetActiveDocument() : nullptr;
    CWebPager dlg(m_ui, MainFrame(), doc ? doc->GetTitle() : QString());
    dlg.DoModal();
}

void CQuillonApp::OnImageFormat()
{
    CMainFrame* frame = MainFrame();
    if (!frame) return;
    CQuillonDoc* doc = frame->ActiveDocument();
    CView* view = frame->GetActiveView();
    if (!doc || doc->m_texture.layers.empty()) return;
    morvane::LayerRecord& first = doc->m_texture.layers[0].layer.rec;

    // The dialog starts at layer 1's format; the free size at the current
    // layer's size.
    CFormatDlg dlg(m_ui, frame);
    dlg.m_nFormat = first.formatIndex;
    const morvane::Layer* current = frame->Session().CurrentLayerRecord();
    dlg.m_freeWidth = current ? current->rec.width : first.width;
    dlg.m_freeHeight = current ? current->rec.height : first.height;
    if (current) dlg.m_layerSize = QSize(current->rec.width, current->rec.height);
    if (dlg.DoModal() != IDOK) return;

    first.formatIndex = static_cast<int16_t>(dlg.m_nFormat);
    const QSize size = dlg.FormatSize(dlg.m_nFormat);
    if (size.isValid() && !size.isEmpty()) {
        doc->m_sizeImage = size;
        // Sizes above 32767 keep their 16 bits (read back unsigned).
        first.width = static_cast<int16_t>(static_cast<uint16_t>(size.width()));
        first.height = static_cast<int16_t>(static_cast<uint16_t>(size.height()));
    } else {
        doc->m_sizeImage = QSize(morvane::kDefaultImageWidth, morvane::kDefaultImageHeight);
    }
    for (morvane::LayerSlot& slot : doc->m_texture.layers) {
        slot.layer.rec.width = first.width;
        slot.layer.rec.height = first.height;
    }

    frame->SetActiveImageSize(doc->m_sizeImage, CMainFrame::FitCorner);
    doc->SetModifiedFlag();
    if (view) {
        view->Invalidate();
        view->UpdateWindow();
    }
}

// The library the program ships, or the one the user put first on the
// data-file search path; none found leaves the library empty.
void CQuillonApp::LoadDefaultLibrary()
{
    CMainFrame* frame = MainFrame();
    if (!frame || !frame->m_pLibraryPanel) return;
    if (const auto found = morvane::FindDataFile("default.jxw")) frame->m_pLibraryPanel->LoadStartupLibrary(*found);
}

bool CQuillonApp::LoadInterfaceTexture(QString* error)
{
    auto found = morvane::ResolveStoredPath(LocalFile(m_strInterfaceTexture).native());
    // Without one of the user's own in the working folder, the program's
    // own interface texture (installed with its data files).
    if (!found && m_strInterfaceTexture == kDefaultInterfaceTexture) found = morvane::FindDataFile("interface.zyv");
    if (!found) {
        if (error) *error = QStringLiteral("Unable to open \"%1\".").arg(DisplayName(m_strInterfaceTexture));
        return false;
    }
    const morvane::Result<std::vector<uint8_t>> file = morvane::ReadFileBytes(*found);
    if (!file.ok()) {
        if (error) *error = QStringLiteral("Unable to open \"%1\".\n%2.")
                                .arg(DisplayName(*found), QString::fromStdString(file.error));
        return false;
    }
    // Any file is read as a texture file, unless it is a layer file.
    morvane::FileKind kind = morvane::FileKindOf(found->string());
    if (kind == morvane::FileKind::Other) kind = morvane::FileKind::Texture;
    morvane::Result<morvane::Texture> parsed = morvane::ParseTextureFile(*file.value, kind);
    if (!parsed.ok()) {
        if (error) *error = QStringLiteral("\"%1\" cannot be used as a texture.\n%2.")
                                .arg(DisplayName(*found), QString::fromStdString(parsed.error));
        return false;
    }
    try {
        morvane::LoadLayerPictures(*parsed.value, m_ui.Teller());
    } catch (const std::bad_alloc&) {
        if (error) *error = QStringLiteral("Unable to use \"%1\".\nThere is not enough memory for its pictures.")
                                .arg(DisplayName(*found));
        return false;
    }
    m_interfaceTexture = std::move(*parsed.value);
    return true;
}

void CQuillonApp::OnLoadInterfaceTexture()
{
    const QStringList chosen = AskTextureFiles(false);
    if (chosen.isEmpty()) return;
    const QString previous = m_strInterfaceTexture;
    m_strInterfaceTexture = chosen.front();
    QString error;
    if (!LoadInterfaceTexture(&error)) {
        m_strInterfaceTexture = previous;
        m_ui.Message(error, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (CMainFrame* frame = MainFrame()) frame->ResetPanelBackgrounds();
}
