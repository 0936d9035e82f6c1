// CLibraryDlg: the texture library panel docked at the top of the main
// window.  It keeps a list of textures, each read from its texture file
// with its name ("\marble.zyv") and path, shown as thumbnails by the
// library strip; four texture-faced buttons add texture files, delete the
// selected entry, and load and save library files (".jxw", see
// engine/LibraryFile.h).  A double click in the strip copies an entry's
// texture into the active document.
//
// Entry i is names[i], paths[i], textures[i] and the strip's thumbnail i:
// they always have the same count.  A library file that cannot be read
// leaves the library as it was; an entry whose texture cannot be read
// keeps its place with the default texture (one Marble layer) and the user
// is told which file failed.
//
// The library keeps what its thumbnails need: each texture's pictures are
// loaded to render its thumbnail and let go of afterwards (files named by
// consecutive textures are read once), and loaded again when the entry is
// copied into a document.  What the pictures have to say is told in one
// message once the command is done.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/Records.h"
#include "platform/Panel.h"

class CLibraryStripWnd;
class CTextureButton;
class EditingSession;

class CLibraryDlg : public CPanel {
    Q_OBJECT
public:
    explicit CLibraryDlg(EditingSession& session, QWidget* parent = nullptr);
    ~CLibraryDlg() override;

    // The buttons' handlers.
    void OnAddTexture();
    void OnLoadLibrary();
    void OnSaveLibrary();
    void OnDeleteTexture();

    // The library the program loads at start-up: its entries' textures are
    // read from their stored paths only.  A file that cannot be opened
    // leaves the library empty without a word.
    void LoadStartupLibrary(const std::filesystem::path& file);

    int EntryCount() const { return static_cast<int>(textures.size()); }

    CTextureButton* addButton = nullptr;     // 1011
    CTextureButton* loadButton = nullptr;    // 1012
    CTextureButton* saveButton = nullptr;    // 1014
    CTextureButton* deleteButton = nullptr;  // 1013
    CLibraryStripWnd* strip = nullptr;
    std::vector<morvane::Texture> textures;  // owned, one per entry, without pictures
    std::vector<std::string> names;          // "\marble.zyv"
    std::vector<std::string> paths;          // as stored in library files

signals:
    // A library texture has replaced the active document's layers (the
    // document has no file now and bears the entry's file name); the main
    // window gives the document the image size of layer 1 and fits its
    // frame to it.
    void textureCopied();

protected:
    QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) override;
    bool OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum class EntrySearch { PathOnly, PathThenName };
    // Reads a library file and every texture it lists, then replaces the
    // library.  False (library unchanged) when the file cannot be read.
    bool ReadLibrary(const std::filesystem::path& file, EntrySearch search, bool reportUnreadable);
    // The strip's scroll range after the entries changed, its position and
    // selection as given.
    void ShowEntries(int current, int firstVisible);

    EditingSession& m_session;
};
