#include "platform/EditContext.h"

#include <QProgressBar>

#include "platform/DocView.h"
#include "platform/Frames.h"
#include "platform/WinApp.h"

EditContext& Edit()
{
    // Made once and never destroyed: panels hold connections to it until
    // the very end.
    static EditContext* context = new EditContext;
    return *context;
}

void EditContext::Reset()
{
    m_currentLayer = 0;
    m_displayMode = 0;
    m_currentKey = -1;
    m_progressBar = nullptr;
}

CDocument* EditContext::Document() const
{
    CMDIFrameWnd* main = AfxGetMainWnd();
    return main ? main->GetActiveDocument() : nullptr;
}

morvane::Texture* EditContext::Texture() const
{
    auto* doc = dynamic_cast<TextureDocument*>(Document());
    return doc ? &doc->EditedTexture() : nullptr;
}

CView* EditContext::View() const
{
    CMDIFrameWnd* main = AfxGetMainWnd();
    return main ? main->GetActiveView() : nullptr;
}

int EditContext::CurrentLayerIndex() const
{
    morvane::Texture* texture = Texture();
    if (!texture || m_currentLayer < 1 || m_currentLayer > texture->LayerCount()) return -1;
    return m_currentLayer - 1;
}

morvane::LayerSlot* EditContext::CurrentSlot() const
{
    const int index = CurrentLayerIndex();
    return index < 0 ? nullptr : &Texture()->layers[static_cast<size_t>(index)];
}

morvane::Layer* EditContext::CurrentLayerRecord() const
{
    morvane::LayerSlot* slot = CurrentSlot();
    return slot ? &slot->layer : nullptr;
}

int EditContext::CurrentKey() const
{
    const morvane::Layer* layer = CurrentLayerRecord();
    if (!layer || layer->rec.animated == 0 || m_currentKey < 0) return -1;
    // The key count as stored and the keys held must both reach it.
    if (m_currentKey >= layer->rec.keyCount || m_currentKey >= static_cast<int>(layer->keys.size())) return -1;
    return m_currentKey;
}

morvane::Keyframe* EditContext::CurrentKeyframe() const
{
    const int key = CurrentKey();
    return key < 0 ? nullptr : &CurrentLayerRecord()->keys[static_cast<size_t>(key)];
}

void EditContext::SetModified() const
{
    if (CDocument* doc = Document()) doc->SetModifiedFlag();
}

void EditContext::RenderView() const
{
    if (CView* view = View()) {
        view->Invalidate();
        view->UpdateWindow();
    }
}

void EditContext::RenderThumbnail()
{
    const int index = CurrentLayerIndex();
    if (index >= 0) emit thumbnailChanged(index);
}

void EditContext::ShowLayer(int n)
{
    m_currentLayer = n;
    if (const morvane::Layer* layer = CurrentLayerRecord(); layer && layer->rec.animated != 0) m_currentKey = 0;
    emit layerShown(n);
}
