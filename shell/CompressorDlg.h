// The choice of an AVI movie's compression, asked before the frames of an
// AVI export are rendered: "Full Frames (Uncompressed)" or "Microsoft RLE",
// with the compression quality (0..100) that Microsoft RLE uses.
#pragma once

#include <optional>

#include "media/MovieWriters.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"

class UiDialogs;

class CCompressorDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int kCompressorList = 1001;
    static constexpr int kQualityEdit = 1002;
    static constexpr int kQualitySpin = 1003;

    explicit CCompressorDlg(UiDialogs& ui, QWidget* parent = nullptr);

    int m_compressor = 1;  // list index: 0 "Full Frames (Uncompressed)", 1 "Microsoft RLE"
    int m_quality = 100;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    // The quality counts only for Microsoft RLE.
    void OnSelChangeCompressor();
};

namespace morvane {

// Asks for the compression of an AVI movie; nullopt when the user cancels.
std::optional<AviSettings> ChooseCompressor(UiDialogs& ui, QWidget* parent);

}  // namespace morvane
