// The AVI compression dialog, answered with real events through the
// scripted dialog layer: the two compressors, the quality that only
// Microsoft RLE uses, a quality out of range refused, Cancel.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "platform/Dialog.h"
#include "shell/CompressorDlg.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"

using namespace morvane;

namespace {

// Picks list entry `index` as a user does: the popup's item, then Enter.
void Pick(CDialog& d, int index)
{
    auto* list = d.GetDlgItem<QComboBox>(CCompressorDlg::kCompressorList);
    list->setCurrentIndex(index);
    emit list->activated(index);
}

}  // namespace

TEST(CompressorDlg, OffersBothCompressorsAndAQualityForRle)
{
    test::EnsureQtApp();
    ScriptedDialogs ui;
    QStringList entries;
    bool qualityForRle = false, qualityForFull = true;
    ui.modal.push_back([&](CDialog& d) {
        auto* list = d.GetDlgItem<QComboBox>(CCompressorDlg::kCompressorList);
        for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
        EXPECT_EQ(list->currentIndex(), 1) << "Microsoft RLE is chosen to begin with";
        EXPECT_EQ(d.GetDlgItem<QLineEdit>(CCompressorDlg::kQualityEdit)->text(), "100");
        qualityForRle = d.GetDlgItem(CCompressorDlg::kQualityEdit)->isEnabled();
        Pick(d, 0);
        qualityForFull = d.GetDlgItem(CCompressorDlg::kQualityEdit)->isEnabled();
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    const std::optional<AviSettings> full = ChooseCompressor(ui, nullptr);
    ASSERT_TRUE(full);
    EXPECT_FALSE(full->rle);
    EXPECT_EQ(entries, (QStringList{"Full Frames (Uncompressed)", "Microsoft RLE"}));
    EXPECT_TRUE(qualityForRle);
    EXPECT_FALSE(qualityForFull);
    EXPECT_EQ(ui.modalCaptions.back(), "Video Compression");

    // A quality past 100 is refused and the dialog stays open; 75 is taken.
    ui.modal.push_back([&](CDialog& d) {
        auto* quality = d.GetDlgItem<QLineEdit>(CCompressorDlg::kQualityEdit);
        quality->setText("150");
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
        EXPECT_FALSE(d.HasEnded());
        quality->setText("75");
        QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
    });
    const std::optional<AviSettings> rle = ChooseCompressor(ui, nullptr);
    ASSERT_TRUE(rle);
    EXPECT_TRUE(rle->rle);
    EXPECT_EQ(rle->quality, 75);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Please enter an integer between 0 and 100.");

    // Cancel: no settings.
    ui.modal.push_back([](CDialog& d) { QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton); });
    EXPECT_FALSE(ChooseCompressor(ui, nullptr));
}
