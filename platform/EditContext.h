// The one road of every edit of a texture.
//
// The panels and the view reach what they edit only through Edit(): the
// active document (the main window's active child frame's document), its
// texture and view, the current layer number that the panels keep
// (1-based, valid only in 1..layerCount), the display mode the view renders
// with, and the current key of an animated layer (valid only in
// 0..keyCount-1, otherwise none).  An edit writes a field of the current
// layer and, when the layer is animated and a key is current, the same
// field of that key (through the mirror table of engine/Records.h); then
// it marks the document modified and has the view and the layer's
// thumbnail render again.
//
// What several windows show changes here and they are told by signals:
//   layerShown(n)       layer n is the current layer and every panel shows
//                       it (the command panel's controls, the palette's
//                       cells, the key-frame panel's count and duration);
//   thumbnailsChanged() every thumbnail slot shows its layer again;
//   thumbnailChanged(i) the thumbnail of layer index i renders again;
//   gradientChanged()   the current layer's gradient changed (palette);
//   imageSizeChanged(s) the active document's image size is now s (the
//                       main frame fits the document's view and window);
//   layerFieldsChanged() the current layer's fields changed (a key loaded
//                       into it): the panels show them, the key stays.
// ShowLayer(n) is the one way to load the panels from a layer.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

#include <cstddef>
#include <cstring>

#include "engine/Records.h"

class CDocument;
class CView;
#include <QProgressBar>

// What the program's document offers the edit road: its texture.
class TextureDocument {
public:
    virtual ~TextureDocument() = default;
    virtual morvane::Texture& EditedTexture() = 0;
};

class EditContext : public QObject {
    Q_OBJECT
public:
    // Forgets the panels' state (a new main window).
    void Reset();

    // --- What is edited ---------------------------------------------------
    CDocument* Document() const;
    morvane::Texture* Texture() const;
    CView* View() const;

    int CurrentLayer() const { return m_currentLayer; }  // 1-based, as the panels keep it
    void SetCurrentLayer(int n) { m_currentLayer = n; }
    // The current layer's index (0-based) in the active texture, or -1.
    int CurrentLayerIndex() const;
    morvane::LayerSlot* CurrentSlot() const;
    morvane::Layer* CurrentLayerRecord() const;

    int DisplayMode() const { return m_displayMode; }  // 0 all layers, 1 those below, 2 the current one
    void SetDisplayMode(int mode) { m_displayMode = mode; }

    // The key-frame panel's current key as it set it (-1 for none).
    int StoredKey() const { return m_currentKey; }
    void SetCurrentKey(int key) { m_currentKey = key; }
    // The current key when it is one of the current layer's keys and the
    // layer is animated; else -1.
    int CurrentKey() const;
    morvane::Keyframe* CurrentKeyframe() const;

    // The progress bar the view drives while it renders (the command
    // panel's); null when there is none.
    QProgressBar* ProgressBar() const { return m_progressBar; }
    void SetProgressBar(QProgressBar* bar) { m_progressBar = bar; }

    // --- Edits --------------------------------------------------------------
    // Writes a field of the current layer (T float, int16_t or int32_t at a
    // LayerRecord byte offset) and its mirror in the current key.  False,
    // and nothing written, without a current layer.
    template <class T>
    bool WriteLayerField(size_t layerOffset, T value);
    // Marks the active document modified.
    void SetModified() const;
    // Invalidates the active view and draws it now.
    void RenderView() const;
    // Has the thumbnail of the current layer render again.
    void RenderThumbnail();

    // --- Telling the panels -------------------------------------------------
    // Makes layer n current and every panel show it; the current key
    // becomes 0 for an animated layer.
    void ShowLayer(int n);
    // The thumbnails show the active texture's layers again.
    void RefreshThumbnails() { emit thumbnailsChanged(); }
    void GradientChanged() { emit gradientChanged(); }
    // The active document's image size becomes `size` (its view and
    // window follow it).
    void ChangeImageSize(QSize size) { emit imageSizeChanged(size); }
    // The current layer's fields changed outside the panels (a key went
    // into the layer): the panels show them again; the current key stays.
    void ShowLayerFields() { emit layerFieldsChanged(); }

signals:
    void layerShown(int n);
    void thumbnailsChanged();
    void thumbnailChanged(int layerIndex);
    void gradientChanged();
    void imageSizeChanged(QSize size);
    void layerFieldsChanged();

private:
    int m_currentLayer = 0;
    int m_displayMode = 0;
    int m_currentKey = -1;
    QPointer<QProgressBar> m_progressBar;
};

// The program's edit context.
EditContext& Edit();

template <class T>
bool EditContext::WriteLayerField(size_t layerOffset, T value)
{
    morvane::Layer* layer = CurrentLayerRecord();
    if (!layer || layerOffset + sizeof(T) > sizeof(morvane::LayerRecord)) return false;
    morvane::WriteField(layer->rec, layerOffset, value);
    if (morvane::Keyframe* key = CurrentKeyframe()) {
        if (const morvane::MirroredField* f = morvane::FindMirroredField(layerOffset))
            morvane::CopyMirrored(*f, layer->rec, key->rec);
    }
    return true;
}
