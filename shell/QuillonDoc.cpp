#include "shell/QuillonDoc.h"

#include <algorithm>

#include "platform/Document.h"

CQuillonDoc::CQuillonDoc() = default;

bool CQuillonDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument()) return false;
    m_sizeImage = QSize(morvane::kDefaultImageWidth, morvane::kDefaultImageHeight);
    InitMaterialPresets();
    m_texture = morvane::NewTexture(*m_pPresets);
    // The panels show it once its window is active.
    return true;
}

QSize CQuillonDoc::StoredImageSize() const
{
    const morvane::LayerRecord& first = m_texture.layers[0].layer.rec;
    return QSize(std::max(1, morvane::StoredImageWidth(first)), std::max(1, morvane::StoredImageHeight(first)));
}

// The presets never change, so every document shares one table.
void CQuillonDoc::InitMaterialPresets() { m_pPresets = &morvane::MaterialPresetTable(); }

QString BaseTitle(const QString& title)
{
    const qsizetype dot = title.indexOf('.');
    return dot < 0 ? title : title.left(dot);
}
