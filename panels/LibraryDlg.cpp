#include "panels/LibraryDlg.h"

#include <QPainter>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "engine/LibraryFile.h"
#include "engine/Presets.h"
#include "media/LayerPicture.h"
#include "panels/LibraryStripWnd.h"
#include "panels/TextureButton.h"
#include "platform/Background.h"
#include "platform/FileName.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"
#include "platform/StringTable.h"

using namespace morvane;

namespace {

constexpr int kAddTexture = 1011;
constexpr int kLoadLibrary = 1012;
constexpr int kDeleteTexture = 1013;
constexpr int kSaveLibrary = 1014;

constexpr ControlSpec kControls[] = {
    {kAddTexture, ControlKind::PushButton, {323, 7, 33, 26}, kOwnerDraw, "Add Texture"},
    {kDeleteTexture, ControlKind::PushButton, {357, 7, 33, 26}, kOwnerDraw, "Delete Texture"},
    {kLoadLibrary, ControlKind::PushButton, {391, 7, 33, 26}, kOwnerDraw, "Load Library"},
    {kSaveLibrary, ControlKind::PushButton, {425, 7, 33, 26}, kOwnerDraw, "Save Library"},
};

// The strip spans this many pixels from the panel's left edge.
constexpr int kStripWidth = 485;

// The first visible entry after entries were added with `current` the
// newest: the selection stays in view, eight slots from the left.
int FirstVisibleFor(int current) { return current < 8 ? 0 : current - 8; }

FileDialogRequest LibraryDialog(bool save, int titleId, int filterId, const char* ext, unsigned flags)
{
    FileDialogRequest r;
    r.save = save;
    r.title = LoadString(titleId);
    r.filter = LoadString(filterId);
    r.defaultExt = QString::fromLatin1(ext);
    r.initialDir = QStringLiteral("\\kvo");
    r.flags = flags;
    return r;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

// What the pictures of the library's textures have to say, each message
// once, told together when the command is done: a library of many textures
// naming a missing file says so once, not once a layer.
class PictureMessages {
public:
    PictureReport Teller()
    {
        return [this](const std::string& text) { Add(Text(text)); };
    }
    void Add(const QString& text)
    {
        if (!m_texts.contains(text)) m_texts << text;
    }
    void Tell(UiDialogs& ui) const
    {
        if (m_texts.isEmpty()) return;
        constexpr int kShown = 12;
        QStringList shown = m_texts.mid(0, kShown);
        if (m_texts.size() > kShown) shown << QStringLiteral("And %1 more.").arg(m_texts.size() - kShown);
        ui.Message(shown.join(QStringLiteral("\n\n")));
    }

private:
    QStringList m_texts;
};

// The pictures of the texture read last, by picture path, held while the
// next texture loads its own: the files both name are read once.
using HeldPictures = std::vector<std::pair<std::string, std::shared_ptr<const Picture>>>;

// Loads the pictures of a library texture, renders its thumbnail, and lets
// go of the pictures again: the library keeps only the thumbnail and the
// texture's records (an entry copied into a document loads its pictures
// anew).  Memory that runs out for the pictures is told; the thumbnail shows
// the pictures that were loaded.
void RenderThumbnail(CLibraryStripWnd& strip, Texture& texture, const std::filesystem::path& file,
                     HeldPictures& held, PictureMessages& said)
{
    auto named = [&](const std::string& path) {
        return std::any_of(texture.layers.begin(), texture.layers.end(),
                           [&](const LayerSlot& slot) { return slot.layer.PicturePath() == path; });
    };
    std::erase_if(held, [&](const auto& picture) { return !named(picture.first); });
    try {
        LoadLayerPictures(texture, said.Teller());
    } catch (const std::bad_alloc&) {
        said.Add(QStringLiteral("Unable to load the pictures of \"%1\".\nThere is not enough memory for them.")
                     .arg(DisplayName(file)));
    }
    strip.RenderThumbnails(texture);
    held.clear();
    for (LayerSlot& slot : texture.layers) {
        if (slot.layer.picture) held.emplace_back(slot.layer.PicturePath(), std::move(slot.layer.picture));
        slot.layer.picture.reset();
    }
}

}  // namespace

CLibraryDlg::CLibraryDlg(EditingSession& session, QWidget* parent)
    : CPanel(session.Ui(), {QString(), QSize(910, 40), kControls}, parent), m_session(session)
{
    setObjectName(QStringLiteral("libraryPanel"));
    Create();
}

CLibraryDlg::~CLibraryDlg() = default;

QWidget* CLibraryDlg::CreateControl(const ControlSpec& spec, QWidget* parent)
{
    return (spec.style & kOwnerDraw) ? new CTextureButton(m_session.Backgrounds(), parent) : nullptr;
}

bool CLibraryDlg::OnInitDialog()
{
    struct Button {
        int id;
        CTextureButton*& member;
        int statusId;
        int tipId;
        void (CLibraryDlg::*handler)();
    };
    const Button buttons[] = {
        {kAddTexture, addButton, 57695, 57674, &CLibraryDlg::OnAddTexture},
        {kDeleteTexture, deleteButton, 57701, 57677, &CLibraryDlg::OnDeleteTexture},
        {kLoadLibrary, loadButton, 57696, 57675, &CLibraryDlg::OnLoadLibrary},
        {kSaveLibrary, saveButton, 57698, 57676, &CLibraryDlg::OnSaveLibrary},
    };
    for (const ControlSpec& spec : kControls) {
        for (const Button& b : buttons) {
            if (b.id != spec.id) continue;
            b.member = GetDlgItem<CTextureButton>(b.id);
            b.member->SetCaption(QString::fromUtf8(spec.text));
            b.member->SetStatusText(LoadString(b.statusId));
            b.member->setToolTip(LoadString(b.tipId));
            connect(b.member, &QAbstractButton::clicked, this, b.handler);
        }
    }

    strip = new CLibraryStripWnd(m_session, this, this);
    strip->setGeometry(0, 0, kStripWidth, height());
    return CPanel::OnInitDialog();
}

void CLibraryDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_session.Backgrounds().For(this));
}

void CLibraryDlg::ShowEntries(int current, int firstVisible)
{
    strip->SetScrollRange(EntryCount());
    strip->currentEntry = current;
    strip->SetFirstVisible(firstVisible);
    strip->Repaint();
}

// ---------------------------------------------------------------------------
// Add Texture

void CLibraryDlg::OnAddTexture()
{
    const QStringList chosen = Ui().FileDialog(
        this, LibraryDialog(false, 57695, 57764, "zyv",
                            OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
    if (chosen.isEmpty()) return;

    QStringList refused;
    PictureMessages said;
    HeldPictures held;
    for (const QString& file : chosen) {
        if (EntryCount() >= kMaxLibraryEntries) {
            refused << QStringLiteral("The library is full: it holds at most %1 textures.").arg(kMaxLibraryEntries);
            break;
        }
        const std::filesystem::path path = LocalFile(file);
        const std::optional<std::string> stored = StoredLibraryPath(path);
        const std::string name = LibraryEntryName(path.native());
        if (!stored || !FitsLibraryField(name)) {
            refused << QStringLiteral("Unable to add \"%1\" to the library: a library file holds paths of at most %2 "
                                      "characters.")
                           .arg(DisplayName(file))
                           .arg(kLibraryFieldSize - 1);
            continue;
        }
        Result<Texture> texture = ReadLibraryTexture(path);
        if (!texture.ok()) {
            refused << Text(texture.error);
            continue;
        }
        names.push_back(name);
        paths.push_back(*stored);
        RenderThumbnail(*strip, *texture.value, path, held, said);
        textures.push_back(std::move(*texture.value));
        strip->currentEntry = EntryCount() - 1;
    }
    ShowEntries(strip->currentEntry, FirstVisibleFor(strip->currentEntry));
    said.Tell(Ui());
    if (!refused.isEmpty()) Ui().Message(refused.join(QStringLiteral("\n\n")));
}

// ---------------------------------------------------------------------------
// Delete Texture

void CLibraryDlg::OnDeleteTexture()
{
    const int count = EntryCount();
    if (count == 0) return;
    const int i = std::clamp(strip->currentEntry, 0, count - 1);
    names.erase(names.begin() + i);
    paths.erase(paths.begin() + i);
    textures.erase(textures.begin() + i);
    strip->RemoveThumbnail(i);

    int current = i;
    if (i == count - 1) current = count >= 2 ? count - 2 : 0;
    ShowEntries(current, current);
}

// ---------------------------------------------------------------------------
// Load Library and the start-up library

void CLibraryDlg::OnLoadLibrary()
{
    const QStringList chosen = Ui().FileDialog(
        this, LibraryDialog(false, 57696, 57697, "jxw", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
    if (chosen.isEmpty() || chosen.front().isEmpty()) return;
    ReadLibrary(LocalFile(chosen.front()), EntrySearch::PathThenName, true);
}

void CLibraryDlg::LoadStartupLibrary(const std::filesystem::path& file)
{
    ReadLibrary(file, EntrySearch::PathOnly, false);
}

bool CLibraryDlg::ReadLibrary(const std::filesystem::path& file, EntrySearch search, bool reportUnreadable)
{
    Result<std::vector<LibraryEntry>> list = ReadLibraryFile(file);
    if (!list.ok()) {
        if (reportUnreadable || std::filesystem::exists(file)) Ui().Message(Text(list.error));
        return false;
    }

    // Each texture is read with its pictures, its thumbnail rendered and
    // the pictures let go of, one texture after the other.
    names.clear();
    paths.clear();
    textures.clear();
    strip->ClearThumbnails();
    QStringList failed;
    PictureMessages said;
    HeldPictures held;
    textures.reserve(list.value->size());
    for (const LibraryEntry& entry : *list.value) {
        const auto found = FindLibraryTexture(entry, search == EntrySearch::PathThenName, file.parent_path());
        Result<Texture> texture;
        if (found) texture = ReadLibraryTexture(*found);
        if (texture.ok()) {
            RenderThumbnail(*strip, *texture.value, *found, held, said);
        } else {
            failed << (found ? Text(texture.error) : QStringLiteral("\"%1\" was not found.").arg(DisplayName(entry.path)));
            texture = DefaultLibraryTexture(MaterialPresetTable());
            strip->RenderThumbnails(*texture.value);
        }
        names.push_back(entry.name);
        paths.push_back(entry.path);
        textures.push_back(std::move(*texture.value));
    }
    held.clear();
    ShowEntries(0, 0);

    said.Tell(Ui());
    if (!failed.isEmpty()) {
        Ui().Message(QStringLiteral("These textures of the library \"%1\" could not be read; their places show the "
                                    "default texture:\n\n%2")
                         .arg(DisplayName(file), failed.join(QStringLiteral("\n"))));
    }
    return true;
}

// ---------------------------------------------------------------------------
// Save Library

void CLibraryDlg::OnSaveLibrary()
{
    const QStringList chosen = Ui().FileDialog(
        this, LibraryDialog(true, 57698, 57697, "jxw", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST));
    if (chosen.isEmpty() || chosen.front().isEmpty()) return;

    std::vector<LibraryEntry> entries;
    for (size_t i = 0; i < textures.size(); ++i) entries.push_back({names[i], paths[i]});
    const Result<> saved = WriteLibraryFile(LocalFile(chosen.front()), entries);
    if (!saved.ok()) Ui().Message(Text(saved.error));
}
