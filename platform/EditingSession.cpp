#include "platform/EditingSession.h"

#include <utility>

#include "engine/Animation.h"
#include "engine/LibraryFile.h"
#include "engine/PatternNames.h"
#include "platform/Document.h"

using morvane::Layer;
using morvane::LayerSlot;

EditingSession::EditingSession(UiDialogs& ui, Background& backgrounds, const morvane::SphereTable* sphereTable,
                               QObject* parent)
    : QObject(parent), m_ui(ui), m_backgrounds(backgrounds), m_sphereTable(sphereTable)
{
}

// ---------------------------------------------------------------------------
// What is edited

void EditingSession::SetActive(CDocument* document, CView* view)
{
    m_document = document;
    m_view = view;
    if (!document) emit noDocumentShown();
}

namespace {

morvane::Texture* TextureOf(CDocument* document)
{
    auto* textured = dynamic_cast<TextureDocument*>(document);
    return textured ? &textured->EditedTexture() : nullptr;
}

}  // namespace

LayerSlot* EditingSession::SlotAt(CDocument* document, int index)
{
    morvane::Texture* texture = TextureOf(document);
    if (!texture || index < 0 || index >= texture->LayerCount()) return nullptr;
    return &texture->layers[static_cast<size_t>(index)];
}

morvane::Texture* EditingSession::Texture() const { return TextureOf(m_document); }

int EditingSession::CurrentLayerIndex() const { return CurrentSlot() ? m_currentLayer - 1 : -1; }

LayerSlot* EditingSession::CurrentSlot() const { return SlotAt(m_document, m_currentLayer - 1); }

Layer* EditingSession::CurrentLayerRecord() const
{
    LayerSlot* slot = CurrentSlot();
    return slot ? &slot->layer : nullptr;
}

int EditingSession::CurrentKey() const
{
    const Layer* layer = CurrentLayerRecord();
    if (!layer || layer->rec.animated == 0 || m_currentKey < 0 || m_currentKey >= morvane::KeyCount(*layer)) return -1;
    return m_currentKey;
}

morvane::Keyframe* EditingSession::CurrentKeyframe() const
{
    const int key = CurrentKey();
    return key < 0 ? nullptr : &CurrentLayerRecord()->keys[static_cast<size_t>(key)];
}

void EditingSession::SetDisplayMode(int mode)
{
    m_displayMode = mode;
    Show(Image);
}

// ---------------------------------------------------------------------------
// Showing

void EditingSession::ShowLayer(int n)
{
    m_currentLayer = n;
    if (const Layer* layer = CurrentLayerRecord(); layer && layer->rec.animated != 0) m_currentKey = 0;
    emit layerShown(n);
}

void EditingSession::ShowTexture()
{
    Show(Layers);
    ShowLayer(1);
}

void EditingSession::Show(Changes what)
{
    emit edited(CurrentLayerIndex(), what);
    // The document's other views show the same texture as the active one.
    if ((what & Image) && m_document) m_document->UpdateAllViews(m_view);
}

void EditingSession::Edited(Changes what)
{
    if (!(what & Preview) && m_document) m_document->SetModifiedFlag();
    Show(what);
}

void EditingSession::Commit(Changes what)
{
    if (m_document) Edited(what);
}

// ---------------------------------------------------------------------------
// Edits of the current layer

bool EditingSession::SetSlotField(morvane::SlotField field, float value, Changes what)
{
    LayerSlot* slot = CurrentSlot();
    if (!slot) return false;
    morvane::SetSlotField(*slot, field, value);
    Edited(what);
    return true;
}

int EditingSession::ChooseMaterial(int material, const std::function<bool(Layer&)>& choosePicture)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer) return -1;
    const int shown = morvane::ApplyMaterial(*layer, morvane::MaterialPresetTable(), material, choosePicture);
    Changes what = Gradient | Thumbnail | Image;
    if (morvane::IsPictureMaterial(shown)) what |= ImageSize;
    Edited(what);
    return shown;
}

bool EditingSession::ChooseRelief(int relief)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer) return false;
    morvane::ChooseRelief(layer->rec, relief);
    Edited(Thumbnail | Image);
    return true;
}

bool EditingSession::SetBlendMode(int mode)
{
    LayerSlot* slot = CurrentSlot();
    if (!slot || !morvane::SetBlendMode(*slot, mode)) return false;
    Edited(Image);
    return true;
}

bool EditingSession::SetColorKey(float red, float green, float blue)
{
    LayerSlot* slot = CurrentSlot();
    if (!slot) return false;
    morvane::SetColorKey(*slot, red, green, blue);
    Edited({});
    return true;
}

bool EditingSession::SetLayerColour(morvane::LayerColour which, int red, int green, int blue, Changes what)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer) return false;
    morvane::SetLayerColour(*layer, CurrentKeyframe(), which, red, green, blue);
    Edited(what);
    return true;
}

bool EditingSession::SetLightDirection(float x, float y, Changes what)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer) return false;
    morvane::SetLightDirection(*layer, CurrentKeyframe(), x, y);
    Edited(what);
    return true;
}

bool EditingSession::SetGradientBoundary(int k, const std::array<float, 3>& rgb, Changes what)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer) return false;
    morvane::SetGradientBoundary(*layer, CurrentKeyframe(), k, rgb);
    Edited(what);
    return true;
}

bool EditingSession::SetAnimated(bool on)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer) return false;
    morvane::SetAnimated(*layer, on);
    // The key-frame panel takes the layer's keys and duration (none when
    // switched off) with key 0 current.
    Edited({});
    ShowLayer(m_currentLayer);
    return true;
}

bool EditingSession::MoveLayer(CDocument* document, QPoint from, QPoint to)
{
    LayerSlot* slot = SlotAt(document, m_currentLayer - 1);
    if (!slot) return false;
    const bool current = document == m_document;
    morvane::MoveLayer(slot->layer, current ? CurrentKeyframe() : nullptr, from.x(), from.y(), to.x(), to.y());
    document->SetModifiedFlag();
    return true;
}

bool EditingSession::TurnLayer(CDocument* document, int fromX, int toX)
{
    LayerSlot* slot = SlotAt(document, m_currentLayer - 1);
    if (!slot) return false;
    morvane::TurnLayer(*slot, fromX, toX);
    document->SetModifiedFlag();
    return true;
}

// ---------------------------------------------------------------------------
// Keys

int EditingSession::AddKey(int current)
{
    Layer* layer = CurrentLayerRecord();
    const int added = layer && layer->rec.animated != 0 ? morvane::InsertKey(*layer, current) : -1;
    Edited({});
    return added;
}

int EditingSession::DeleteKey(int current)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer || layer->rec.animated == 0) return -1;
    const int now = morvane::DeleteKey(*layer, current);
    if (now >= 0) Edited({});
    return now;
}

bool EditingSession::MoveKey(int k, float time)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer || !morvane::MoveKey(*layer, k, time)) return false;
    Edited({});
    return true;
}

void EditingSession::SetDuration(float seconds)
{
    if (Layer* layer = CurrentLayerRecord()) layer->rec.duration = seconds;
    Edited({});
}

bool EditingSession::LoadKey(int k)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer || !morvane::LoadKeyIntoLayer(*layer, k)) return false;
    Show(Fields | Gradient | Image);
    return true;
}

bool EditingSession::InterpolateAt(float t)
{
    Layer* layer = CurrentLayerRecord();
    if (!layer || layer->rec.animated == 0) return false;
    morvane::InterpolateLayerAt(*layer, t, {.reliefDetail = true});
    return true;
}

// ---------------------------------------------------------------------------
// The stack of layers

bool EditingSession::HasRoomForLayers(int count) const
{
    const morvane::Texture* texture = Texture();
    return texture && morvane::HasRoomForLayers(*texture, count);
}

void EditingSession::ShowChangedStack(int n)
{
    Show(Layers);
    ShowLayer(n);
    if (m_document) m_document->SetModifiedFlag();
}

bool EditingSession::AddLayer()
{
    morvane::Texture* texture = Texture();
    if (!texture || !morvane::HasRoomForLayers(*texture)) return false;
    texture->layers.push_back(morvane::NewLayer(morvane::MaterialPresetTable(), !texture->layers.empty()));
    ShowChangedStack(texture->LayerCount());
    return true;
}

bool EditingSession::DeleteLayer()
{
    morvane::Texture* texture = Texture();
    const int next = texture ? morvane::DeleteLayer(*texture, CurrentLayerIndex()) : 0;
    if (next == 0) return false;
    ShowChangedStack(next);
    return true;
}

void EditingSession::AddLayers(std::vector<Layer> layers)
{
    morvane::Texture* texture = Texture();
    if (!texture || layers.empty()) return;
    for (Layer& layer : layers) {
        LayerSlot slot;  // blend coefficient 1, "Additive", no turn
        slot.layer = std::move(layer);
        texture->layers.push_back(std::move(slot));
    }
    ShowChangedStack(texture->LayerCount());
    m_document->UpdateAllViews(nullptr);
}

bool EditingSession::ReplaceTexture(const morvane::Texture& texture, const QString& title)
{
    morvane::Texture* edited = Texture();
    if (!edited) return false;
    // Every layer with its keys and picture; then the panels show layer 1
    // with its first key and the eight layer thumbnails the new layers.
    morvane::CopyLibraryTexture(texture, *edited);
    m_currentKey = 0;
    ShowChangedStack(1);
    m_document->ClearPathName();
    m_document->SetTitle(title);
    m_document->UpdateAllViews(nullptr);
    return true;
}
