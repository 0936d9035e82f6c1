#include <QDir>
#include <QScrollBar>
#include <QTest>

#include "ShellFixture.h"
#include "engine/LibraryFile.h"
#include "engine/Noise.h"
#include "engine/Paths.h"
#include "media/PictureStore.h"
#include "panels/LibraryStripWnd.h"
#include "panels/TextureButton.h"
#include "panels/LibraryDlg.h"
#include "platform/EditingSession.h"
#include "platform/FileName.h"
#include "support/HostileFiles.h"
#include "support/LibraryStrip.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;

namespace {

class TextureLibrary : public ShellTest {
protected:
    CLibraryDlg& Library() { return *Frame()->m_pLibraryPanel; }
    CLibraryStripWnd& Strip() { return *Library().strip; }
    void DoubleClickSlot(int k)
    {
        QTest::mouseDClick(Strip().viewport(), Qt::LeftButton, {}, QPoint(CLibraryStripWnd::kSlotWidth * k + 20, 20));
        DrainEvents();
    }
    // Adds texture files through Add Texture.
    void Add(const QStringList& files)
    {
        Ui().files.push_back(files);
        QTest::mouseClick(Library().addButton, Qt::LeftButton);
        DrainEvents();
    }
    QString Write(const QString& name, const Texture& t)
    {
        EXPECT_EQ(WriteTextureFile(Path(name).toStdString(), t).error, "");
        return Path(name);
    }
};

}  // namespace

TEST_F(TextureLibrary, StartUpShowsTheShippedLibrary)
{
    Start();
    const auto shipped = FindDataFile("default.jxw");
    ASSERT_TRUE(shipped);
    const auto entries = ReadLibraryFile(*shipped);
    ASSERT_TRUE(entries.ok());
    ASSERT_GE(entries.value->size(), 5u);

    ASSERT_NE(Frame()->m_pLibraryPanel, nullptr);
    ASSERT_EQ(Library().EntryCount(), static_cast<int>(entries.value->size()));
    EXPECT_TRUE(Strip().isVisible());
    EXPECT_TRUE(Ui().messages.empty());
    for (size_t i = 0; i < entries.value->size(); ++i) {
        const LibraryEntry& e = (*entries.value)[i];
        EXPECT_EQ(Library().names[i], e.name);
        const auto texture = ReadLibraryTexture(*FindLibraryTexture(e, false, shipped->parent_path()));
        ASSERT_TRUE(texture.ok());
        if (static_cast<int>(i) * CLibraryStripWnd::kSlotWidth < Strip().viewport()->width()) {
            EXPECT_EQ(SlotPicture(Strip(), static_cast<int>(i)), DirectThumbnail(*texture.value)) << e.name;
        }
    }
}

TEST_F(TextureLibrary, DoubleClickCopiesTheEntryIntoTheDocument)
{
    Start();
    UseTexture(ThreeLayers(200, 150));
    ASSERT_GE(Library().EntryCount(), 3);
    const Texture entry = Library().textures[2];
    ASSERT_FALSE(Doc()->IsModified());

    DoubleClickSlot(2);
    EXPECT_EQ(Strip().currentEntry, 2);
    // The title is the entry's file name, without the library's backslash.
    EXPECT_EQ("\\" + Doc()->GetTitle(), QString::fromStdString(Library().names[2]));
    EXPECT_TRUE(Doc()->IsModified());
    ASSERT_EQ(Doc()->m_texture.LayerCount(), entry.LayerCount());
    EXPECT_EQ(Session().CurrentLayer(), 1);
    const LayerRecord first = entry.layers[0].layer.rec;
    EXPECT_EQ(Doc()->m_sizeImage, QSize(StoredImageWidth(first), StoredImageHeight(first)));
    EXPECT_EQ(View()->ClientSize(), Doc()->m_sizeImage);

    // The view shows the library texture.
    Texture direct = entry;
    PrepareForRender(direct);
    const QSize size = Doc()->m_sizeImage;
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), RenderImage(direct, size.width(), size.height(), 0, 0, true),
                              size.width(), size.height()));

    // The library keeps its own texture.
    Doc()->m_texture.layers[0].layer.rec.scaleX = 123.0f;
    EXPECT_NE(+Library().textures[2].layers[0].layer.rec.scaleX, 123.0f);
}

TEST_F(TextureLibrary, CopiedAnimationStartsAtItsFirstKeyAndOddSizesStayDrawable)
{
    Start();
    Texture animated = test::SampleTexture(2, 0, 3);
    animated.layers[0].layer.rec.width = 0;  // no image size
    animated.layers[0].layer.rec.height = 0;
    Add({Write("anim.zyv", animated)});
    const int entry = Library().EntryCount() - 1;
    Strip().SetFirstVisible(entry);
    Session().SetCurrentKey(5);

    DoubleClickSlot(0);
    EXPECT_EQ(Doc()->GetTitle(), "anim.zyv");
    EXPECT_EQ(Session().CurrentKey(), 0);
    ASSERT_EQ(Doc()->m_texture.layers[0].layer.keys.size(), 3u);
    EXPECT_EQ(Doc()->m_sizeImage, QSize(1, 1));

    // Right of the last entry nothing is copied.
    Doc()->SetModifiedFlag(false);
    DoubleClickSlot(3);
    EXPECT_FALSE(Doc()->IsModified());
}

TEST_F(TextureLibrary, DoubleClickWithoutADocumentDoesNothing)
{
    Start();
    Doc()->GetDocTemplate()->CloseDocument(Doc());
    DrainEvents();
    ASSERT_EQ(Frame()->ActiveDocument(), nullptr);
    DoubleClickSlot(0);
    EXPECT_EQ(Strip().currentEntry, 0);
    EXPECT_EQ(Frame()->ActiveDocument(), nullptr);
}

TEST_F(TextureLibrary, ACopyIsANewDocumentNamedAfterTheEntryAndNeverSavedOverTheOpenedFile)
{
    Start();
    const QString opened = Write("a.zyv", ThreeLayers(60, 40));
    const QByteArray before = Contents(opened);
    Ui().files.push_back({opened});
    Frame()->SendCommand(ID_FILE_OPEN);
    QDir().mkpath(Path("lib"));
    Add({Write("lib/marble.zyv", SampleTexture(1))});
    Strip().SetFirstVisible(Library().EntryCount() - 1);
    DoubleClickSlot(0);
    EXPECT_EQ(Doc()->GetTitle(), "marble.zyv");
    EXPECT_TRUE(Doc()->GetPathName().isEmpty());
    EXPECT_EQ(Frame()->windowTitle(), "Morvane - marble.zyv");

    // Ctrl+S asks for a name, as for a new document; a.zyv stays as it was.
    const size_t asked = Ui().fileRequests.size();
    QTest::keyClick(View(), Qt::Key_S, Qt::ControlModifier);
    DrainEvents();
    ASSERT_EQ(Ui().fileRequests.size(), asked + 1);
    EXPECT_EQ(Ui().fileRequests.back().initialName, "marble.zyv");
    EXPECT_EQ(Contents(opened), before);
    EXPECT_TRUE(Doc()->IsModified());

    // Saved under the name offered, it becomes the document's file.
    Ui().files.push_back({Path("marble.zyv")});
    QTest::keyClick(View(), Qt::Key_S, Qt::ControlModifier);
    DrainEvents();
    EXPECT_EQ(Contents(Path("marble.zyv")), Encoded(Doc()->m_texture));
    EXPECT_EQ(Doc()->GetPathName(), Path("marble.zyv"));
    EXPECT_EQ(Contents(opened), before);
}

TEST_F(TextureLibrary, ALibraryAndItsTexturesKeepNamesThatAreNotUtf8)
{
    Start();
    // Latin-1 names, whose bytes 0xE8 and 0xE9 are not UTF-8, as the file
    // dialog gives them.
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray texture = folder + "/bois\xe9.zyv";
    const QByteArray library = folder + "/biblioth\xe8que.jxw";
    ASSERT_EQ(WriteTextureFile(texture.toStdString(), SampleTexture(2)).error, "");
    const int before = Library().EntryCount();
    Add({DecodeFileName(texture)});
    EXPECT_TRUE(Ui().messages.empty());
    ASSERT_EQ(Library().EntryCount(), before + 1);
    EXPECT_EQ(Library().names.back(), "\\bois\xe9.zyv");
    EXPECT_EQ(Library().paths.back(), texture.toStdString());
    const QImage thumbnail = SlotPicture(Strip(), before);
    // A name too long for a library file is refused by the name as it reads.
    const QByteArray tooLong = folder + "/" + QByteArray(80, 'x') + "\xe9.zyv";
    Add({DecodeFileName(tooLong)});
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.startsWith("Unable to add \"" + QFile::decodeName(tooLong) + "\""));
    Ui().messages.clear();

    // Saved under such a name and loaded again, the library reads the
    // texture from its file.
    Ui().files.push_back({DecodeFileName(library)});
    QTest::mouseClick(Library().saveButton, Qt::LeftButton);
    EXPECT_TRUE(Ui().messages.empty());
    const Result<std::vector<LibraryEntry>> saved = ReadLibraryFile(library.toStdString());
    ASSERT_TRUE(saved.ok());
    ASSERT_EQ(saved.value->size(), size_t(before + 1));
    EXPECT_EQ(saved.value->back().path, texture.toStdString());
    Ui().files.push_back({DecodeFileName(library)});
    QTest::mouseClick(Library().loadButton, Qt::LeftButton);
    EXPECT_TRUE(Ui().messages.empty());
    ASSERT_EQ(Library().EntryCount(), before + 1);
    EXPECT_EQ(SlotPicture(Strip(), before), thumbnail);

    // Copied into the document, the texture bears its file's name.
    Strip().SetFirstVisible(before);
    DoubleClickSlot(0);
    EXPECT_EQ(EncodeFileName(Doc()->GetTitle()), "bois\xe9.zyv");
    EXPECT_EQ(Doc()->m_texture.LayerCount(), 2);
}

// A library texture's thumbnail shows the pictures of its layers, whether
// added or loaded with a library; a picture that cannot be read is told,
// and the texture is kept all the same.  The library keeps the thumbnail,
// not the pictures: the entry copied into a document loads them again.
TEST_F(TextureLibrary, ThumbnailsShowTheTexturesPicturesWhichTheLibraryLetsGoOf)
{
    Start();
    // A 2 x 1 TGA: (1, 2, 3) then (4, 5, 6).
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2, tga[12] = 2, tga[14] = 1, tga[16] = 24;
    tga.insert(tga.end(), {3, 2, 1, 6, 5, 4});
    QFile flag(Path("flag.tga"));
    ASSERT_TRUE(flag.open(QIODevice::WriteOnly));
    flag.write(reinterpret_cast<const char*>(tga.data()), static_cast<qint64>(tga.size()));
    flag.close();
    Texture pictured = PresetTexture(MaterialPresetTable(), 24);
    pictured.layers[0].layer.SetPicturePath(Path("flag.tga").toStdString());
    pictured.layers.push_back(pictured.layers[0]);
    pictured.layers[1].layer.SetPicturePath(Path("gone.tga").toStdString());
    const QString missing = "Unable to open the picture \"" + Path("gone.tga") + "\".\nThe file was not found.";
    Texture shown = pictured;
    shown.layers[0].layer.SetPicture(2, 1, {1, 2, 3, 0, 4, 5, 6, 0});
    const QImage thumbnail = DirectThumbnail(shown);
    ASSERT_NE(thumbnail, DirectThumbnail(pictured));

    auto expectThumbnail = [&](int entry) {
        ASSERT_GT(Library().EntryCount(), entry);
        EXPECT_EQ(Strip().Thumbnail(entry), thumbnail);
        for (const LayerSlot& slot : Library().textures[entry].layers) EXPECT_FALSE(slot.layer.picture);
        ASSERT_EQ(Ui().messages.size(), 1u);
        EXPECT_EQ(Ui().messages[0].text, missing);
        EXPECT_EQ(Ui().messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
        Ui().messages.clear();
    };
    Add({Write("pictured.zyv", pictured)});
    expectThumbnail(Library().EntryCount() - 1);

    const std::vector<LibraryEntry> listed{{"\\pictured.zyv", Path("pictured.zyv").toStdString()}};
    ASSERT_EQ(WriteLibraryFile(Path("pictured.jxw").toStdString(), listed).error, "");
    Ui().files.push_back({Path("pictured.jxw")});
    QTest::mouseClick(Library().loadButton, Qt::LeftButton);
    DrainEvents();
    ASSERT_EQ(Library().EntryCount(), 1);
    expectThumbnail(0);

    DoubleClickSlot(0);
    ASSERT_EQ(Doc()->m_texture.LayerCount(), 2);
    EXPECT_EQ(Doc()->m_texture.layers[0].layer.Pixels(), (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    EXPECT_FALSE(Doc()->m_texture.layers[1].layer.picture);
    EXPECT_EQ(Ui().messages.size(), 1u);
}

// A start-up library of 40 entries, each a texture of 40 layers naming an
// FLI of 144 bytes that declares 8192 x 8192 pixels (256 MB): read one
// layer at a time, 10 GB.  The picture is held once while the thumbnails
// are rendered and let go of afterwards, and the editor goes on.
TEST_F(TextureLibrary, AStartUpLibraryOfOneHostilePictureNamedEverywhereKeepsNoneOfIt)
{
    const QString kvo = m_dir.path() + "/root/kvo";
    ASSERT_TRUE(QDir().mkpath(kvo));
    const std::vector<uint8_t> fli = BlackFli(8192, 8192);
    QFile movie(kvo + "/big.fli");
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.write(reinterpret_cast<const char*>(fli.data()), static_cast<qint64>(fli.size()));
    movie.close();
    ASSERT_EQ(WriteTextureFile((kvo + "/forty.zyv").toStdString(), TextureNaming("C:\\kvo\\big.fli", 40)).error, "");
    const std::string library = (kvo + "/default.jxw").toStdString();
    ASSERT_EQ(WriteLibraryFile(library, LibraryListing("\\kvo\\forty.zyv", 40)).error, "");
    ASSERT_LT(std::filesystem::file_size(library), 6500u);

    const uint64_t held = PictureStore::HeldBytes();
    Start();
    ASSERT_EQ(Library().EntryCount(), 40);
    EXPECT_EQ(Strip().ThumbnailCount(), 40);
    EXPECT_TRUE(Ui().messages.empty()) << Ui().messages[0].text.toStdString();
    for (const Texture& texture : Library().textures) {
        ASSERT_EQ(texture.LayerCount(), 40);
        for (const LayerSlot& slot : texture.layers) EXPECT_FALSE(slot.layer.picture);
    }
    EXPECT_EQ(PictureStore::HeldBytes(), held);

    // The editor goes on: the view draws, and an entry copied into the
    // document brings the picture, once for all its layers.
    ASSERT_TRUE(Frame()->isVisible());
    DoubleClickSlot(0);
    ASSERT_EQ(Doc()->m_texture.LayerCount(), 40);
    EXPECT_TRUE(Doc()->m_texture.layers[39].layer.HasPicture());
    EXPECT_EQ(Doc()->m_texture.layers[39].layer.picture, Doc()->m_texture.layers[0].layer.picture);
    EXPECT_EQ(PictureStore::HeldBytes(), held + 8192u * 8192u * 4u);
    EXPECT_TRUE(Ui().messages.empty());
}
