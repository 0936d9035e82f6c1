// File > Save As through the scripted dialogs: every type writes its file
// and nothing else anywhere, a texture file becomes the document's file, a
// layer file does not, and a failed export says why and changes nothing.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QStatusBar>


#include "ShellFixture.h"
#include "media/Export.h"
#include "panels/KeyFrameDlg.h"
#include "panels/TimeRamp.h"
#include "platform/Dialog.h"
#include "shell/CompressorDlg.h"
#include "shell/MpegFormatDlg.h"
#include "support/FileSizeLimit.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

}  // namespace

class SaveAs : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // The frame folders of movie exports go below a folder of the test.
        QDir(m_dir.path()).mkpath("tmp");
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", Path("tmp").toUtf8());
        QDir(m_dir.path()).mkpath("out");
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override
    {
        QDir::setCurrent(m_oldCwd);
        if (m_oldTmp.isEmpty()) qunsetenv("TMPDIR");
        else qputenv("TMPDIR", m_oldTmp);
        ShellTest::TearDown();
    }

    // Save As with the scripted dialog answering `name` in the folder "out".
    void SaveAsName(const QString& name)
    {
        Ui().files = {{Path("out/" + name)}};
        Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    }
    // Every file below the test's folder, the profile and the folders aside.
    QStringList Files() const
    {
        QStringList files;
        for (const QString& dir : {QString(""), QString("out"), QString("tmp"), QString("root"), QString("root/kvo")}) {
            for (const QString& f : QDir(Path(dir)).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot))
                files << (dir.isEmpty() ? f : dir + "/" + f);
        }
        files.removeAll("Morvane.ini");
        for (const char* folder : {"out", "tmp", "root", "root/kvo"}) files.removeAll(folder);
        files.sort();
        return files;
    }

    // From now on, every text the status bar shows goes to m_status.
    void RecordStatus()
    {
        QObject::connect(Frame()->statusBar(), &QStatusBar::messageChanged, Frame(),
                         [this](const QString& text) { m_status << text; });
    }

    void UseAnimatedTexture(int w, int h, float duration)
    {
        Texture t = ThreeLayers(w, h);
        AnimateFirstLayer(t, duration);
        UseTexture(std::move(t));
    }

    QByteArray m_oldTmp;
    QString m_oldCwd;
    QStringList m_status;
};

TEST_F(SaveAs, TheDialogOffersMoviesOnlyForAnAnimatedFirstLayer)
{
    Start();
    Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);  // cancelled
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    const FileDialogRequest& r = Ui().fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.title, "Save a Texture");
    EXPECT_EQ(r.defaultExt, "zyv");
    EXPECT_EQ(r.initialDir, "\\kvo");
    EXPECT_EQ(r.initialName, "Quillo1");
    EXPECT_EQ(r.flags, unsigned(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
    EXPECT_EQ(r.filter,
              "Texture File (*.zyv) | *.zyv| Layer File (*.kvo) | *.kvo| Tarnvale 3D Files *.tpr | *.tpr| Truevision "
              "Targa Files *.tga | *.tga| JPEG Files *.jpg | *.jpg||");

    UseAnimatedTexture(32, 16, 0.2f);
    Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    ASSERT_EQ(Ui().fileRequests.size(), 2u);
    EXPECT_EQ(Ui().fileRequests[1].filter,
              "Morvane Files *.kvo | *.kvo| Tarnvale 3D Files *.tpr | *.tpr| Truevision Targa Files *.tga | *.tga| JPEG "
              "Files *.jpg | *.jpg| MPEG-1 Movie Files *.mpg | *.mpg| MPEG-2 Movie Files *.m2v | *.m2v| AVI Movie "
              "Files *.avi | *.avi| FLI Movie Files *.fli | *.fli||");
    EXPECT_TRUE(Files().isEmpty()) << Files().join(", ").toStdString();
}

TEST_F(SaveAs, EveryTypeWritesItsFileAndNothingElse)
{
    Start();
    UseAnimatedTexture(48, 32, 0.2f);
    RecordStatus();
    CQuillonDoc* doc = Doc();
    doc->SetModifiedFlag();
    const Layer layer = doc->m_texture.layers[0].layer;

    QStringList expected;
    for (const QString name : {"t.tga", "t.bmp", "t.jpg", "t.tpr", "t.mpg", "t.kvo"}) {
        SaveAsName(name);
        expected << "out/" + name;
        expected.sort();
        EXPECT_EQ(Files(), expected) << name.toStdString();
        EXPECT_TRUE(Ui().messages.empty()) << Ui().messages[0].text.toStdString();
    }
    // Those leave the document as it was, its animated layer included.
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetPathName().isEmpty());
    EXPECT_EQ(BytesOf(doc->m_texture.layers[0].layer.rec), BytesOf(layer.rec));
    EXPECT_EQ(Contents(Path("out/t.kvo")), AsBytes(EncodeLayerFile(layer)));
    // The status bar named the frames while they were written and is back
    // to "Ready"; the progress bar went through the rows.
    EXPECT_TRUE(m_status.contains("mpeg0004.ppm"));
    EXPECT_EQ(Frame()->MessageText(), "Ready");
    ASSERT_TRUE(Frame()->m_pCommandPanel->progressBar);
    EXPECT_EQ(Frame()->m_pCommandPanel->progressBar->value(), 31 * 1000 / 32);
    // The key-frame panel shows the end of the animation.
    CKeyFrameDlg* keys = Frame()->m_pKeyFramePanel;
    ASSERT_TRUE(keys);
    EXPECT_FLOAT_EQ(keys->currentTime, 0.2f);
    EXPECT_FLOAT_EQ(keys->ramp->currentTime, 0.2f);
    EXPECT_EQ(keys->timeEdit->text(), "0.2");

    // A texture file (any case of the extension) becomes the document's file.
    SaveAsName("T.ZYV");
    EXPECT_EQ(Contents(Path("out/T.ZYV")), Encoded(doc->m_texture));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), Path("out/T.ZYV"));
    EXPECT_EQ(doc->GetTitle(), "T.ZYV");
    EXPECT_EQ(m_app->RecentFileLabels().value(0), Path("out/T.ZYV"));

    // Another extension writes nothing and says which ones it writes.
    SaveAsName("t.png");
    EXPECT_FALSE(QFile::exists(Path("out/t.png")));
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to save \"" + Path("out/t.png") +
                                         "\".\nIts extension is none of those that can be saved: .zyv, .kvo, .tpr, .tga, "
                                         ".bmp, .jpg, .mpg, .m2v, .avi and .fli.");
    EXPECT_EQ(Ui().messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(doc->GetPathName(), Path("out/T.ZYV"));
}

TEST_F(SaveAs, ANameTypedWithoutExtensionTakesTheChosenType)
{
    Start();
    UseAnimatedTexture(32, 16, 0.2f);
    CQuillonDoc* doc = Doc();
    doc->SetModifiedFlag();

    // "anim" typed with "AVI Movie Files" (the seventh type) chosen.
    Ui().typed.push_back({Path("out/anim"), 6});
    Ui().modal.push_back([](CDialog& d) { QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton); });
    Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    EXPECT_EQ(Files(), QStringList{"out/anim.avi"});
    EXPECT_EQ(Contents(Path("out/anim.avi")).left(4), "RIFF");
    EXPECT_EQ(Frame()->MessageText(), "Ready");
    // A movie does not become the document's file.
    EXPECT_TRUE(doc->GetPathName().isEmpty());
    EXPECT_TRUE(doc->IsModified());

    // With the first type, "Morvane Files", a layer file.
    Ui().typed.push_back({Path("out/layer"), 0});
    Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    EXPECT_EQ(Contents(Path("out/layer.kvo")), AsBytes(EncodeLayerFile(doc->m_texture.layers[0].layer)));

    // A still texture offers the texture file first; it becomes the
    // document's file.
    UseTexture(ThreeLayers(32, 16));
    doc->SetModifiedFlag();
    Ui().typed.push_back({Path("out/still"), 0});
    Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    EXPECT_EQ(Contents(Path("out/still.zyv")), Encoded(doc->m_texture));
    EXPECT_EQ(doc->GetPathName(), Path("out/still.zyv"));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_EQ(Files(), (QStringList{"out/anim.avi", "out/layer.kvo", "out/still.zyv"}));
}

TEST_F(SaveAs, AFailedExportSaysWhyAndChangesNothing)
{
    Start();
    UseAnimatedTexture(48, 32, 0.2f);
    CQuillonDoc* doc = Doc();
    doc->SetModifiedFlag();
    const QByteArray before = Encoded(doc->m_texture);
    QFile(Path("out/file")).open(QIODevice::WriteOnly);

    // A folder that is a file, for a texture, a picture and a movie.
    for (const QString name : {"file/t.zyv", "file/t.tga", "file/t.mpg"}) {
        Ui().messages.clear();
        SaveAsName(name);
        ASSERT_EQ(Ui().messages.size(), 1u) << name.toStdString();
        EXPECT_EQ(Ui().messages[0].text, "Unable to save \"" + Path("out/" + name) + "\".\nNot a directory.");
        EXPECT_EQ(Ui().messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
    }

    // A disk that fills up while the frames are written.
    Ui().messages.clear();
    {
        const FileSizeLimit full(3000);
        ASSERT_TRUE(full.ok());
        SaveAsName("full.mpg");
    }
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to save \"" + Path("out/full.mpg") +
                                         "\".\nFrame 1 of the movie could not be written in " + Path("tmp") +
                                         ": File too large.");

    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetPathName().isEmpty());
    EXPECT_EQ(Encoded(doc->m_texture), before);
    EXPECT_EQ(Files(), QStringList{"out/file"});
}

TEST_F(SaveAs, AnMpeg2MovieAsksTheVideoFormatFirst)
{
    Start();
    UseAnimatedTexture(48, 32, 0.2f);
    std::vector<int> shown;
    auto choose = [&](int id) {
        return [&shown, id](CDialog& d) {
            auto& dlg = static_cast<CMpegFormatDlg&>(d);
            shown.push_back(dlg.m_videoFormat);
            EXPECT_TRUE(dlg.GetDlgItem<QRadioButton>(1044)->isChecked());
            if (id) QTest::mouseClick(dlg.GetDlgItem(id), Qt::LeftButton);
            QTest::mouseClick(dlg.GetDlgItem(id ? IDOK : IDCANCEL), Qt::LeftButton);
        };
    };
    Ui().modal = {choose(1045), choose(0)};
    RecordStatus();
    SaveAsName("secam.m2v");
    SaveAsName("cancel.m2v");

    EXPECT_EQ(Ui().modalCaptions, (std::vector<QString>{"Video format for MPEG2", "Video format for MPEG2"}));
    EXPECT_EQ(shown, (std::vector<int>{1, 1}));
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_EQ(Files(), QStringList{"out/secam.m2v"});
    // SECAM: 25 frames a second, so 5 frames for 0.2 s, the last one named.
    const QStringList frames = m_status.filter(".ppm");
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(frames.last(), "mpeg0004.ppm");
    EXPECT_EQ(Frame()->MessageText(), "Ready");
    const QByteArray movie = Contents(Path("out/secam.m2v"));
    // The sequence display extension says SECAM (video_format 3).
    int ext = -1;
    for (int at = 0; ext < 0 && (at = movie.indexOf(QByteArray("\x00\x00\x01\xB5", 4), at)) >= 0; at += 4)
        if ((uint8_t(movie[at + 4]) >> 4) == 2) ext = at;
    ASSERT_GE(ext, 0);
    EXPECT_EQ((uint8_t(movie[ext + 4]) >> 1) & 7, 3);
}

TEST(MpegFormatDlg, OkAtOnceKeepsTheChoiceAndPalOrSecamReplaceIt)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    auto press = [&](int radio) {
        ui.modal.push_back([radio](CDialog& d) {
            if (radio) QTest::mouseClick(d.GetDlgItem(radio), Qt::LeftButton);
            QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
        });
        CMpegFormatDlg dlg(ui);
        dlg.m_videoFormat = 1;
        EXPECT_EQ(dlg.DoModal(), IDOK);
        return dlg.m_videoFormat;
    };
    EXPECT_EQ(press(0), 1);
    EXPECT_EQ(press(1043), 0);
    EXPECT_EQ(press(1045), 2);

    // The group's texts as the dialog shows them; Cancel keeps the member.
    ui.modal.push_back([](CDialog& d) {
        EXPECT_EQ(d.GetDlgItem<QGroupBox>(1042)->title(), "Video Fomat : ");
        EXPECT_EQ(d.GetDlgItem<QRadioButton>(1044)->text(), "NTSC");
        QTest::mouseClick(d.GetDlgItem(1043), Qt::LeftButton);
        QTest::mouseClick(d.GetDlgItem(IDCANCEL), Qt::LeftButton);
    });
    CMpegFormatDlg dlg(ui);
    dlg.m_videoFormat = 2;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_videoFormat, 2);
}

TEST_F(SaveAs, AviMoviesAskTheCompressionFliMoviesDoNot)
{
    Start();
    UseAnimatedTexture(48, 32, 0.2f);
    auto press = [](int button, int compressor = -1) {
        return [=](CDialog& d) {
            if (compressor >= 0) {
                auto* list = d.GetDlgItem<QComboBox>(CCompressorDlg::kCompressorList);
                list->setCurrentIndex(compressor);
                emit list->activated(compressor);
            }
            QTest::mouseClick(d.GetDlgItem(button), Qt::LeftButton);
        };
    };
    Ui().modal.push_back(press(IDOK, 0));
    SaveAsName("full.avi");
    Ui().modal.push_back(press(IDOK));
    RecordStatus();
    SaveAsName("rle.avi");
    EXPECT_EQ(m_status.value(m_status.size() - 2), "Fermeture OK");
    EXPECT_EQ(Frame()->MessageText(), "Ready");
    Ui().modal.push_back(press(IDCANCEL));
    SaveAsName("cancel.avi");
    SaveAsName("t.fli");

    EXPECT_EQ(Ui().modalCaptions, (std::vector<QString>(3, "Video Compression")));
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_EQ(Files(), (QStringList{"out/full.avi", "out/rle.avi", "out/t.fli"}));
    // The compression of the stream format (after 'strf', its size and 16
    // bytes of the bitmap header): 0 uncompressed, 1 run-length.
    for (const auto& [name, compression] : {std::pair{"out/full.avi", 0}, std::pair{"out/rle.avi", 1}}) {
        const QByteArray movie = Contents(Path(name));
        const int strf = movie.indexOf("strf");
        ASSERT_GE(strf, 0);
        EXPECT_EQ(int(movie[strf + 8 + 16]), compression) << name;
    }
    EXPECT_EQ(Contents(Path("out/t.fli")).mid(4, 2), QByteArray("\x11\xAF", 2));
}

TEST_F(SaveAs, AMovieThatCannotBeWrittenLeavesNoFile)
{
    Start();
    UseAnimatedTexture(16, 16, 2.0f);  // 50 frames of at most 1042 bytes each
    for (const QString name : {"big.avi", "big.fli"}) {
        Ui().messages.clear();
        if (name.endsWith(".avi")) {
            Ui().modal.push_back([](CDialog& d) {
                auto* list = d.GetDlgItem<QComboBox>(CCompressorDlg::kCompressorList);
                list->setCurrentIndex(0);
                emit list->activated(0);
                QTest::mouseClick(d.GetDlgItem(IDOK), Qt::LeftButton);
            });
        }
        {
            const FileSizeLimit full(8000);
            ASSERT_TRUE(full.ok());
            SaveAsName(name);
        }
        ASSERT_EQ(Ui().messages.size(), 1u) << name.toStdString();
        EXPECT_EQ(Ui().messages[0].text, "Unable to save \"" + Path("out/" + name) + "\".\nFile too large.");
    }
    EXPECT_EQ(Files(), QStringList{});
}

TEST_F(SaveAs, ATypedDurationReachesTheCommandThatFollows)
{
    Start();
    UseAnimatedTexture(16, 16, 4.0f);
    Frame()->ShowTextureInPanels();
    CKeyFrameDlg* keys = Frame()->m_pKeyFramePanel;
    auto type = [&](const char* text) {
        QApplication::setActiveWindow(Frame());
        QTest::mouseClick(keys->durationEdit, Qt::LeftButton);
        keys->durationEdit->selectAll();
        QTest::keyClicks(keys->durationEdit, text);
        ASSERT_EQ(QApplication::focusWidget(), keys->durationEdit);
    };

    // 8 typed, then File > Save As with the mouse: a movie of 8 seconds,
    // 200 pictures.
    type("8");
    QMenuBar* bar = Frame()->menuBar();
    QAction* file = bar->actions().at(0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file).center());
    QMenu* menu = file->menu();
    ASSERT_TRUE(menu->isVisible());
    Ui().files = {{Path("out/eight.mpg")}};
    QAction* saveAs = Frame()->Action(ID_FILE_SAVE_AS_TEXTURE);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(saveAs).center());
    DrainEvents();
    ASSERT_TRUE(Ui().messages.empty());
    EXPECT_EQ(+Doc()->m_texture.layers[0].layer.rec.duration, 8.0f);
    const QByteArray movie = Contents(Path("out/eight.mpg"));
    EXPECT_EQ(movie.count(QByteArray("\x00\x00\x01\x00", 4)), 200);

    // 2 typed, then Ctrl+S with the focus still in the field: the file
    // holds 2 seconds.
    type("2");
    Ui().files = {{Path("out/two.zyv")}};
    QTest::keyClick(keys->durationEdit, Qt::Key_S, Qt::ControlModifier);
    Result<Texture> saved = ReadTextureFile(Path("out/two.zyv").toStdString());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(+saved.value->layers[0].layer.rec.duration, 2.0f);
    EXPECT_FALSE(Doc()->IsModified());
}
