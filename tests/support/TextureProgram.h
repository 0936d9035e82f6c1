// A main window with one texture document open, a view that counts its
// renders and the editing session (with scripted dialogs) the panels and
// their controls are handed: the smallest program they edit.  Header
// only.
#pragma once

#include "engine/Presets.h"
#include "engine/Records.h"
#include "platform/Background.h"
#include "platform/DocTemplate.h"
#include "platform/Document.h"
#include "platform/EditingSession.h"
#include "platform/MDIChildWnd.h"
#include "platform/MDIFrameWnd.h"
#include "platform/View.h"
#include "support/ScriptedDialogs.h"

namespace morvane::test {

class TextureDoc : public CDocument, public TextureDocument {
public:
    Texture texture = NewTexture(MaterialPresetTable());
    Texture& EditedTexture() override { return texture; }
};

class CountingView : public CView {
public:
    int draws = 0;
    void OnDraw(CDC*) override { ++draws; }
};

struct Program {
    CMDIFrameWnd frame;
    CDocTemplate tmpl{"\nQuillo\nQuillo", [] { return new TextureDoc; }, [] { return new CMDIChildWnd; },
                      [] { return new CountingView; }};
    ScriptedDialogs ui;
    Background backgrounds;  // black
    EditingSession session;
    TextureDoc* doc = nullptr;

    // The light picker shades `sphereTable` (none: no sphere).
    explicit Program(const SphereTable* sphereTable = nullptr) : session(ui, backgrounds, sphereTable)
    {
        frame.resize(400, 300);
        frame.show();
        doc = static_cast<TextureDoc*>(tmpl.OpenNewDocument(&frame));
        session.SetActive(doc, frame.GetActiveView());
        // The active view renders the edits that change the image, as the
        // program's view does.
        QObject::connect(&session, &EditingSession::edited, &frame, [this](int, EditingSession::Changes what) {
            if (!(what & EditingSession::Image) || !session.View()) return;
            session.View()->Invalidate();
            session.View()->UpdateWindow();
        });
    }
    CountingView* View() const { return static_cast<CountingView*>(session.View()); }
};

// A layer of preset `material` animated with `keys` keys made from it.
inline Layer AnimatedLayer(int keys, int material = 2)
{
    Layer layer = LayerFromPreset(MaterialPresetTable()[static_cast<size_t>(material)]);
    layer.rec.animated = 1;
    layer.rec.keyCount = keys;
    for (int i = 0; i < keys; ++i) layer.keys.push_back(MakeKey(layer));
    return layer;
}

}  // namespace morvane::test
