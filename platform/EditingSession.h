// The editing session of one main window: what its panels, controls and
// views edit, and the one road of every edit.
//
// The main window makes the session and hands it to every panel, control
// and view it creates; it tells the session which document and view are
// active whenever the active window changes.  The session hands on what
// they all share: the dialog layer they ask through, the panel backgrounds
// and the sphere table the light picker shades.  The panels keep the current
// layer (1-based, valid only in 1..layerCount), the current key of an
// animated layer (valid only in 0..keyCount-1) and the display mode the
// view renders with, here.
//
// An edit goes through one rule of engine/LayerEdits on the current layer
// (and its current key), marks the document modified and emits edited()
// once, with what it changed; whoever shows that part listens:
//   Image      the texture's look: the active view renders it again at
//              once, and the document's other views (told through the
//              document's UpdateAllViews) when they next paint;
//   Thumbnail  the layer's own look: its thumbnail renders again;
//   Fields     fields the command panel's controls show: they show them
//              again (a key was loaded into the layer);
//   Gradient   the layer's gradient: the palette shows it again;
//   Layers     the stack of layers: every thumbnail shows its layer again;
//   ImageSize  the document's image size is now the layer's: its window
//              fits it.
// An edit that names none of them (a slider while it moves) only marks the
// document; Show() renders afterwards.  A Preview edit (a dialog's colour
// bars while the user points) marks nothing either: the dialog's Apply
// does.  layerShown(n) tells that layer n is the current layer and every
// panel shows it.
#pragma once

#include <QFlags>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>
#include <vector>

#include "engine/LayerEdits.h"
#include "engine/Records.h"
#include "engine/Sphere.h"
#include "platform/Document.h"
#include "platform/View.h"

// What a document offers the session: its texture.
class TextureDocument {
public:
    virtual ~TextureDocument() = default;
    virtual morvane::Texture& EditedTexture() = 0;
};

class Background;
class UiDialogs;

class EditingSession : public QObject {
    Q_OBJECT
public:
    enum Change : unsigned {
        Image = 1u << 0,
        Thumbnail = 1u << 1,
        Fields = 1u << 2,
        Gradient = 1u << 3,
        Layers = 1u << 4,
        ImageSize = 1u << 5,
        Preview = 1u << 6,
    };
    Q_DECLARE_FLAGS(Changes, Change)

    // `sphereTable` may be null (the light picker then shows no sphere).
    EditingSession(UiDialogs& ui, Background& backgrounds, const morvane::SphereTable* sphereTable = nullptr,
                   QObject* parent = nullptr);

    UiDialogs& Ui() const { return m_ui; }
    Background& Backgrounds() const { return m_backgrounds; }
    const morvane::SphereTable* SphereTable() const { return m_sphereTable; }

    // --- What is edited ---------------------------------------------------
    // The active document and the view that shows it.  Without one (the
    // last window closed) the panels are told to show no document.
    void SetActive(CDocument* document, CView* view);
    CDocument* Document() const { return m_document; }
    morvane::Texture* Texture() const;
    CView* View() const { return m_view; }

    int CurrentLayer() const { return m_currentLayer; }
    void SetCurrentLayer(int n) { m_currentLayer = n; }
    // The slot of layer `index` (0-based) of `document`, or null when the
    // document holds no texture or no such layer.
    static morvane::LayerSlot* SlotAt(CDocument* document, int index);
    // The current layer's index (0-based) in the active texture, or -1.
    int CurrentLayerIndex() const;
    morvane::LayerSlot* CurrentSlot() const;
    morvane::Layer* CurrentLayerRecord() const;

    // The key-frame panel sets the current key (-1 for none).
    void SetCurrentKey(int key) { m_currentKey = key; }
    // The current key when it is one of the current layer's keys and the
    // layer is animated; else -1.
    int CurrentKey() const;
    morvane::Keyframe* CurrentKeyframe() const;

    // 0 all layers, 1 those below, 2 the current one.  Setting it renders
    // the view.
    int DisplayMode() const { return m_displayMode; }
    void SetDisplayMode(int mode);

    // --- Showing ----------------------------------------------------------
    // Makes layer n current and every panel show it; the current key
    // becomes 0 for an animated layer.
    void ShowLayer(int n);
    // The active texture as a whole: every thumbnail again, layer 1 current.
    void ShowTexture();
    // Tells that `what` of the current layer changed outside the edits
    // here (nothing is marked modified): a render asked for, a layer
    // interpolated by the time ramp.  A changed image shows in the
    // document's other views too.
    void Show(Changes what);

    // --- Edits of the current layer ---------------------------------------
    // Each is false, and nothing changes, without a current layer.
    template <class T>
    bool SetLayerField(size_t offset, T value, Changes what = {});
    bool SetSlotField(morvane::SlotField field, float value, Changes what = {});
    // The material (see morvane::ApplyMaterial); `choosePicture` asks for
    // the picture of a picture material.  Returns the material the layer
    // ended with, or -1 without a current layer.
    int ChooseMaterial(int material, const std::function<bool(morvane::Layer&)>& choosePicture);
    bool ChooseRelief(int relief);
    bool SetBlendMode(int mode);
    bool SetColorKey(float red, float green, float blue);
    bool SetLayerColour(morvane::LayerColour which, int red, int green, int blue, Changes what);
    bool SetLightDirection(float x, float y, Changes what);
    // Boundary k of the current layer's gradient and its current key's.
    bool SetGradientBoundary(int k, const std::array<float, 3>& rgb, Changes what);
    bool SetAnimated(bool on);
    // Marks the active document modified after a change the user made
    // elsewhere (a dialog's Apply, OK) and tells `what` changed.
    void Commit(Changes what = {});

    // The view's drags edit the document the view shows: its layer of the
    // current layer's number (the current key only when it is the active
    // document).  True when a layer moved or turned; the document is
    // marked modified and the view renders it (nothing else is told).
    bool MoveLayer(CDocument* document, QPoint from, QPoint to);
    bool TurnLayer(CDocument* document, int fromX, int toX);

    // --- Keys of the current layer ------------------------------------------
    // The index of the key added after `current`, or -1; the document is
    // marked modified either way.
    int AddKey(int current);
    // The key that is current after deleting `current`, or -1.
    int DeleteKey(int current);
    bool MoveKey(int k, float time);
    // The duration of the current layer's animation (the document is
    // marked modified even without a current layer).
    void SetDuration(float seconds);
    // Key k goes into the layer; the panels and the view show it (nothing
    // is marked modified).
    bool LoadKey(int k);
    // The layer's fields between its keys at time t (a fraction of the
    // duration), as the time ramp shows them; nothing is marked modified
    // and nothing renders.
    bool InterpolateAt(float t);

    // --- The stack of layers ----------------------------------------------
    // Whether the active texture can take `count` more layers.
    bool HasRoomForLayers(int count = 1) const;
    // A new Marble layer after the others; it becomes current.
    bool AddLayer();
    bool DeleteLayer();
    // Layers read from files, after the others; the last becomes current.
    void AddLayers(std::vector<morvane::Layer> layers);
    // The active texture becomes a copy of `texture` (its keys and pictures
    // too), layer 1 current with key 0.  The document has no file now and
    // bears `title`.
    bool ReplaceTexture(const morvane::Texture& texture, const QString& title);

signals:
    void edited(int layerIndex, EditingSession::Changes what);
    void layerShown(int n);
    // No document is active: every panel shows what it shows at start-up.
    void noDocumentShown();

private:
    // Marks the active document modified (unless a preview) and shows.
    void Edited(Changes what);
    void ShowChangedStack(int n);

    UiDialogs& m_ui;
    Background& m_backgrounds;
    const morvane::SphereTable* m_sphereTable;
    QPointer<CDocument> m_document;
    QPointer<CView> m_view;
    int m_currentLayer = 0;
    int m_displayMode = 0;
    int m_currentKey = -1;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(EditingSession::Changes)

template <class T>
bool EditingSession::SetLayerField(size_t offset, T value, Changes what)
{
    morvane::Layer* layer = CurrentLayerRecord();
    if (!layer || !morvane::SetLayerField(*layer, CurrentKeyframe(), offset, value)) return false;
    Edited(what);
    return true;
}
