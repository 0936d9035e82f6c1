// The document: one texture, the material presets every new layer and
// every change of material takes its values from, and the image size.
#pragma once

#include <QSize>
#include <QString>

#include "engine/Presets.h"
#include "engine/Records.h"
#include "platform/Document.h"
#include "platform/EditingSession.h"

class CQuillonDoc : public CDocument, public TextureDocument {
    Q_OBJECT
public:
    CQuillonDoc();

    // Builds the presets and a texture of one layer copied from preset 1.
    // The panels show that layer once the document's window is active.
    bool OnNewDocument() override;
    void InitMaterialPresets();

    morvane::Texture& EditedTexture() override { return m_texture; }

    // The image size layer 1 stores, each side at least 1 pixel.  The
    // texture must have a layer.
    QSize StoredImageSize() const;

    morvane::Texture m_texture;                          // the document's texture
    const morvane::MaterialPresets* m_pPresets = nullptr;  // 40 presets, index = material number (shared, read-only)
    QSize m_sizeImage{0, 0};                              // render size in pixels
};

// A document's title up to its first ".".
QString BaseTitle(const QString& title);
