// A main window with one texture document open and a view that counts its
// renders: the smallest program the panels and their controls edit
// through the edit road.  Header only.
#pragma once

#include "engine/Presets.h"
#include "engine/Records.h"
#include "platform/DocView.h"
#include "platform/EditContext.h"
#include "platform/Frames.h"
#include "platform/WinApp.h"

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
    CWinApp app;
    CMDIFrameWnd frame;
    CDocTemplate tmpl{129, "\nQuillo\nQuillo", [] { return new TextureDoc; }, [] { return new CMDIChildWnd; },
                      [] { return new CountingView; }};
    TextureDoc* doc = nullptr;

    Program()
    {
        app.m_pMainWnd = &frame;
        frame.resize(400, 300);
        frame.show();
        doc = static_cast<TextureDoc*>(tmpl.OpenNewDocument(&frame));
        Edit().Reset();
    }
    ~Program() { app.m_pMainWnd = nullptr; }

    CountingView* View() const { return static_cast<CountingView*>(Edit().View()); }
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
