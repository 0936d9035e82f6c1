// The Image Format dialog: twelve fixed render sizes and a free one.
//
// The radio index follows the order of the buttons in the dialog; index
// 12, "Free Format ...", also opens the Free Format dialog, which starts at
// the current layer's size.  Sizes up to 65500 are kept in the 16-bit size
// fields of the layer; read them with StoredImageWidth/Height.
#pragma once

#include <QSize>

#include <cstdint>
#include <optional>

#include "engine/Records.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"

class UiDialogs;

constexpr int IDD_IMAGE_FORMAT = 101;
constexpr int IDC_FORMAT_FIRST = 104;  // the first radio button of the group
constexpr int IDC_FREE_FORMAT = 111;   // "Free Format ...", the last one
constexpr int kFormatCount = 13;
using morvane::kFreeFormatIndex;

class CFormatDlg : public CDialog {
    Q_OBJECT
public:
    explicit CFormatDlg(UiDialogs& ui, QWidget* parent = nullptr);

    int16_t m_freeWidth = 0;   // the size of "Free Format ..."
    int16_t m_freeHeight = 0;
    // The current layer's width and height as stored; none without one.
    std::optional<QSize> m_layerSize;
    int32_t m_nFormat = -1;    // the checked button, -1 for none

    // The size of format `index` (0..12); an empty size for any other.
    QSize FormatSize(int index) const;

    void OnFreeFormat();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
};
