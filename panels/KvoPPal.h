// CKvoPPal: the palette panel in the bottom bar.  It holds the gradient
// strip of the current layer (panels/GradientStrip.h) and two texture-faced
// buttons: "Color" opens the colour dialog on the selected cell, and
// "Gradient" starts gradient mode, in which the next two clicks on the
// strip blend the cells between them.  The strip shows the gradient of
// every layer the editing session shows and reloads when the current
// layer's gradient changes elsewhere.
#pragma once

#include <cstdint>

#include "platform/Panel.h"

class CGradientStrip;
class CTextureButton;
class EditingSession;

class CKvoPPal : public CPanel {
    Q_OBJECT
public:
    explicit CKvoPPal(EditingSession& session, QWidget* parent = nullptr);

    CGradientStrip* Strip() const { return strip; }

    void OnGradient();
    void OnColor();

protected:
    QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) override;
    bool OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowLayerGradient(int n);

    EditingSession& m_session;
    CTextureButton* gradientButton = nullptr;  // 401
    CTextureButton* colorButton = nullptr;     // 402
    CGradientStrip* strip = nullptr;
    int16_t gradientMode = 0;
};
