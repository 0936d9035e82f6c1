// CCommandBar: the command panel docked on the right.  From it the user
// edits the current layer of the active texture: material, relief and
// blend mode from three lists, nineteen value sliders, the colour key, and
// the display mode the view renders with; it shows one thumbnail per layer
// (the first eight), carries the layer commands and the two dialog buttons,
// and shows the view's render progress on its progress bar.
//
// Every edit goes through the editing session it is handed.  ShowLayer(n)
// is the one routine that loads the panel from a layer; it runs whenever
// the session shows a layer (child activation, a file read, a thumbnail
// click, the other panels).
#pragma once

#include <QComboBox>
#include <QProgressBar>

#include <array>

#include "engine/LayerEdits.h"
#include "panels/LayerPreviewWnd.h"
#include "panels/TextureButton.h"
#include "panels/ColorKeyWnd.h"
#include "panels/KvoSlider.h"
#include "platform/DataExchange.h"
#include "platform/Panel.h"

class CDialog;
class EditingSession;

class CCommandBar : public CPanel {
    Q_OBJECT
public:
    explicit CCommandBar(EditingSession& session, QWidget* parent = nullptr);

    static constexpr int kThumbnails = morvane::kMostLayers;  // one a layer
    static constexpr int kSliders = 19;

    // The texture-faced buttons.
    CTextureButton* seeButton = nullptr;          // 1012 "See"
    CTextureButton* lightingButton = nullptr;     // 1006 "Ligthing"
    CTextureButton* reflectionButton = nullptr;   // 1005 "Material"
    CTextureButton* allLayersButton = nullptr;    // 1054
    CTextureButton* layerBelowButton = nullptr;   // 1055
    CTextureButton* thisLayerButton = nullptr;    // 1056
    CTextureButton* addLayerButton = nullptr;     // 1057
    CTextureButton* deleteLayerButton = nullptr;  // 1058
    CTextureButton* loadLayerButton = nullptr;    // 1061
    CTextureButton* saveLayerButton = nullptr;    // 1060
    std::array<CLayerPreviewWnd*, kThumbnails> thumbnails{};
    CColorKeyWnd* colorKeySwatch = nullptr;
    std::array<CKvoSlider*, kSliders> sliders{};  // by slider id
    QProgressBar* progressBar = nullptr;          // 1026
    QComboBox* reliefCombo = nullptr;             // 565
    QComboBox* materialCombo = nullptr;           // 564
    int animateCheck = 0;                         // check box 1040
    int blendIndex = -1;                          // list 566

    // Loads every control from layer n (1-based) of the active texture.
    void ShowLayer(int n);
    // No document is active: Animate is clear, as at start-up.
    void ShowNoDocument();
    // The thumbnails show the active texture's first eight layers again.
    void RefreshThumbnails();
    // The progress of the view's render, in thousandths.
    void ShowRenderProgress(int permille);

    // Handlers.
    void OnSelChangeMaterial();
    void OnSelChangeRelief();
    void OnSelChangeBlend();
    void OnAllLayers();
    void OnLayerBelow();
    void OnThisLayer();
    void OnSee();
    void OnReflectionParameters();
    void OnLightingProperties();
    void OnAnimate();
    void OnAddLayer();
    void OnDeleteLayer();
    void OnLoadLayer();
    void OnSaveLayer();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void RenderThumbnail(int index);
    void SetDisplayMode(int mode);
    void RepaintSliders();
    // On an animated layer: the refusal, and the list shows `shown` again.
    bool RefusedForAnimation(const morvane::Layer& layer, const QString& message, QComboBox* list, int shown);
    // The picture branch of a material change: false when the user
    // cancelled the Open dialog.
    bool ChoosePicture(morvane::Layer& layer);
    // Runs a dialog that edits the current layer.
    void RunLayerDialog(CDialog& dialog);
    // Whether the texture can take `count` more layers; says so when not.
    bool RoomForLayers(int count);

    EditingSession& m_session;
};
