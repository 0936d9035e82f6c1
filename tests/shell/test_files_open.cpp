// Opening files: the command line, File > Open, drops and the recent-file
// entries all make the same document; bad files make none, nor does a file
// whose pictures find no memory.
#include <QDropEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ShellFixture.h"
#include "engine/SafeFile.h"
#include "platform/Document.h"
#include "platform/FileName.h"
#include "support/AddressSpaceLimit.h"
#include "support/HostileFiles.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

void Drop(QWidget* target, const QMimeData& mime)
{
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

void DropFiles(QWidget* target, const QStringList& files)
{
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    QMimeData mime;
    mime.setUrls(urls);
    Drop(target, mime);
}

// A small two-layer texture, the second layer animated by three keys.
Texture TwoLayers(int width, int height)
{
    Texture t = SampleTexture(2, 1, 3);
    for (LayerSlot& s : t.layers) {
        s.layer.rec.width = static_cast<int16_t>(width);
        s.layer.rec.height = static_cast<int16_t>(height);
    }
    return t;
}

}  // namespace

class FilesOpen : public ShellTest {
protected:
    QString Write(const QString& name, const Texture& t)
    {
        const QString path = Path(name);
        EXPECT_EQ(WriteTextureFile(path.toStdString(), t).error, "");
        return path;
    }
    QString IniPath() const { return Path("Morvane.ini"); }
    QString Key(int n) const { return IniProfile(IniPath().toStdString()).GetString("Recent File List", QStringLiteral("File%1").arg(n)); }
    std::vector<CQuillonDoc*> Docs() const
    {
        std::vector<CQuillonDoc*> docs;
        for (CDocument* d : m_app->AllDocuments()) docs.push_back(qobject_cast<CQuillonDoc*>(d));
        return docs;
    }
};

TEST_F(FilesOpen, ArgvMenuAndDropGiveTheSameDocument)
{
    const Texture t = TwoLayers(90, 70);
    QDir().mkpath(Path("menu"));
    QDir().mkpath(Path("drop"));
    const QString file = Write("Two.zyv", t);
    const QString fromMenu = Write("menu/Two.zyv", t);
    const QString dropped = Write("drop/Two.zyv", t);

    Start({file});
    Ui().files = {{fromMenu}};
    Frame()->SendCommand(ID_FILE_OPEN);
    DropFiles(Frame(), {dropped});
    DrainEvents();

    const std::vector<CQuillonDoc*> docs = Docs();
    ASSERT_EQ(docs.size(), 3u);
    EXPECT_TRUE(Ui().messages.empty());
    for (CQuillonDoc* doc : docs) {
        // (The view has normalised each layer's light direction in place.)
        EXPECT_TRUE(SameTexture(doc->m_texture, docs[0]->m_texture));
        ASSERT_EQ(doc->m_texture.LayerCount(), 2);
        const Layer& second = doc->m_texture.layers[1].layer;
        ASSERT_EQ(second.keys.size(), 3u);
        EXPECT_EQ(BytesOf(second.keys[2].rec), BytesOf(t.layers[1].layer.keys[2].rec));
        EXPECT_EQ(BytesOf(second.gradient->entries), BytesOf(t.layers[1].layer.gradient->entries));
        EXPECT_EQ(BytesOf(doc->m_texture.layers[1].colorKey), BytesOf(t.layers[1].colorKey));
        EXPECT_EQ(doc->m_texture.reserved, t.reserved);
        EXPECT_EQ(doc->GetTitle(), "Two.zyv");
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->m_sizeImage, QSize(90, 70));
        ASSERT_EQ(doc->Views().size(), 1u);
        EXPECT_EQ(doc->Views()[0]->ClientSize(), QSize(90, 70));
    }
    // The panel shows layer 1 of the last one.
    EXPECT_EQ(Session().CurrentLayer(), 1);
    EXPECT_EQ(docs[0]->GetPathName(), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(docs[1]->GetPathName(), QFileInfo(fromMenu).absoluteFilePath());
    EXPECT_EQ(docs[2]->GetPathName(), QFileInfo(dropped).absoluteFilePath());
    // The most recent first.
    EXPECT_EQ(Key(1), QFileInfo(dropped).absoluteFilePath());
    EXPECT_EQ(Key(3), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(Key(4), "");
}

TEST_F(FilesOpen, AFileThatIsOpenAlreadyActivatesItsWindow)
{
    const QString a = Write("a.zyv", TwoLayers(50, 40));
    const QString b = Write("b.zyv", TwoLayers(60, 30));
    ASSERT_TRUE(QFile::link(a, Path("link.zyv")));
    QDir().mkpath(Path("sub"));
    Start({a});
    CQuillonDoc* first = Doc();
    Ui().files = {{b}};
    Frame()->SendCommand(ID_FILE_OPEN);
    ASSERT_EQ(Docs().size(), 2u);
    ASSERT_EQ(m_app->RecentFileLabels().value(1), QFileInfo(a).absoluteFilePath());

    // Its recent entry, File > Open, a link to it and another spelling of
    // its name: each time the window of the document that is open.
    auto expectFirstActive = [&](const char* how) {
        EXPECT_EQ(Docs().size(), 2u) << how;
        EXPECT_EQ(Doc(), first) << how;
        EXPECT_EQ(first->Views().size(), 1u) << how;
    };
    Frame()->SendCommand(ID_FILE_MRU_FILE1 + 1);
    expectFirstActive("recent entry");
    EXPECT_EQ(m_app->RecentFileLabels().value(0), QFileInfo(a).absoluteFilePath());
    for (const QString& name : {a, Path("link.zyv"), m_dir.path() + "/./sub/../a.zyv"}) {
        Frame()->MdiArea()->activateNextSubWindow();
        ASSERT_NE(Doc(), first);
        Ui().files = {{name}};
        Frame()->SendCommand(ID_FILE_OPEN);
        expectFirstActive(name.toUtf8().constData());
    }
    EXPECT_TRUE(Ui().messages.empty());

    // The document keeps its own edits: nothing is read again.
    first->m_texture.layers[0].layer.rec.scaleX = 77.0f;
    first->SetModifiedFlag();
    Frame()->MdiArea()->activateNextSubWindow();
    ASSERT_EQ(m_app->RecentFileLabels().value(0), QFileInfo(a).absoluteFilePath());
    Frame()->SendCommand(ID_FILE_MRU_FILE1);
    EXPECT_EQ(Doc(), first);
    EXPECT_EQ(+first->m_texture.layers[0].layer.rec.scaleX, 77.0f);
    EXPECT_TRUE(first->IsModified());
}

TEST_F(FilesOpen, ATextureLargerThanTheRoomOpensInAWindowInsideIt)
{
    const QString big = Write("big.zyv", TwoLayers(2048, 1536));
    Start();
    Frame()->showNormal();
    Frame()->setGeometry(0, 0, 1280, 1024);
    Frame()->RecalcLayout();
    DrainEvents();
    Ui().files = {{big}};
    Frame()->SendCommand(ID_FILE_OPEN);
    DrainEvents();
    ASSERT_EQ(Doc()->m_sizeImage, QSize(2048, 1536));
    const QRect area = Frame()->MdiArea()->viewport()->rect();
    const QRect child = Frame()->ActiveChildFrame()->geometry();
    EXPECT_TRUE(area.contains(child)) << child.x() << "," << child.y() << " " << child.width() << "x" << child.height()
                                      << " in " << area.width() << "x" << area.height();
    // The view scrolls over the rest of the image.
    EXPECT_GT(View()->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(View()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(View()->GetTotalSize(), QSize(2048, 1536));
}

TEST_F(FilesOpen, SelectionOrderLayerFilesAndExtensionCase)
{
    Start();
    const QString a = Write("a.zyv", TwoLayers(50, 40));
    const QString b = Path("b.KVO");
    ASSERT_EQ(WriteLayerFile(b.toStdString(), SampleLayer(4, 2)).error, "");
    const QString c = Write("C.ZYV", SampleTexture(1));

    Ui().files = {{a, b, c}};
    Frame()->SendCommand(ID_FILE_OPEN);
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    EXPECT_EQ(Ui().fileRequests[0].flags, unsigned(OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
    EXPECT_TRUE(Ui().messages.empty());

    const std::vector<CQuillonDoc*> docs = Docs();
    ASSERT_EQ(docs.size(), 4u);  // Quillo1 and the three files in selection order
    EXPECT_EQ(docs[1]->GetTitle(), "a.zyv");
    EXPECT_EQ(docs[2]->GetTitle(), "b.KVO");
    EXPECT_EQ(docs[3]->GetTitle(), "C.ZYV");
    EXPECT_EQ(Doc(), docs[3]);

    // The layer file is a one-layer texture with its keys.
    const Texture& layer = docs[2]->m_texture;
    ASSERT_EQ(layer.LayerCount(), 1);
    EXPECT_EQ(layer.layers[0].layer.keys.size(), 2u);
    EXPECT_EQ(+layer.layers[0].blendCoef, 0.0f);

    EXPECT_EQ(Key(1), QFileInfo(c).absoluteFilePath());
    EXPECT_EQ(Key(2), QFileInfo(b).absoluteFilePath());
    EXPECT_EQ(Key(3), QFileInfo(a).absoluteFilePath());
}

TEST_F(FilesOpen, BadFilesAndOtherTypesMakeNoDocument)
{
    const QString picture = Path("picture.tga");
    {
        QFile f(picture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'x'));
    }
    // From the command line.
    Start({picture});
    EXPECT_TRUE(Frame()->ChildFrames().empty());
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains(picture)) << Ui().messages[0].text.toStdString();

    // Dropped.
    DropFiles(Frame(), {picture});
    DrainEvents();
    EXPECT_TRUE(Frame()->ChildFrames().empty());
    EXPECT_EQ(Ui().messages.size(), 2u);

    // A truncated texture and a missing one, from the menu; the good file
    // chosen with them still opens.
    const QString good = Write("good.zyv", TwoLayers(30, 20));
    const QString cut = Path("cut.zyv");
    {
        QFile f(cut);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Contents(good).left(3000));
    }
    Ui().files = {{cut, Path("missing.zyv"), good}};
    Frame()->SendCommand(ID_FILE_OPEN);
    ASSERT_EQ(Ui().messages.size(), 4u);
    EXPECT_TRUE(Ui().messages[2].text.contains("cut.zyv"));
    EXPECT_TRUE(Ui().messages[3].text.contains("missing.zyv"));
    ASSERT_EQ(Frame()->ChildFrames().size(), 1u);
    EXPECT_EQ(Doc()->GetTitle(), "good.zyv");

    // Only the file that opened is in the list.
    EXPECT_EQ(m_app->RecentFileLabels(), QStringList{QFileInfo(good).absoluteFilePath()});
    EXPECT_EQ(Key(2), "");
}

TEST_F(FilesOpen, RecentEntriesMoveToTheFront)
{
    QStringList files;
    for (int i = 1; i <= 8; ++i) files << QFileInfo(Write(QStringLiteral("r%1.zyv").arg(i), SampleTexture(1))).absoluteFilePath();
    {
        IniProfile ini(IniPath().toStdString());
        ini.WriteString("Tip", "StartUp", "0");
        for (int i = 1; i <= 8; ++i) ini.WriteString("Recent File List", QStringLiteral("File%1").arg(i), files[i - 1]);
    }
    Start();
    EXPECT_EQ(m_app->RecentFileLabels(), files);

    // The menu's entries are the list.
    QMenu* file = nullptr;
    for (QAction* a : Frame()->menuBar()->actions())
        if (a->text() == "&File") file = a->menu();
    ASSERT_NE(file, nullptr);
    emit file->aboutToShow();
    EXPECT_EQ(Frame()->Action(ID_FILE_MRU_FILE1 + 4)->text(), "&5 " + files[4]);

    // Entry 5 goes to the front; 1..4 move down; 6..8 stay.
    Frame()->SendCommand(ID_FILE_MRU_FILE1 + 4);
    EXPECT_EQ(Doc()->GetPathName(), files[4]);
    EXPECT_EQ(Frame()->MessageText(), files[4]);
    const QStringList expected{files[4], files[0], files[1], files[2], files[3], files[5], files[6], files[7]};
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(Key(n), expected[n - 1]) << n;
    EXPECT_EQ(m_app->RecentFileLabels(), expected);

    // Entry 1 changes nothing.
    const QByteArray before = Contents(IniPath());
    Frame()->SendCommand(ID_FILE_MRU_FILE1);
    EXPECT_EQ(Doc()->GetPathName(), files[4]);
    EXPECT_EQ(Contents(IniPath()), before);

    // An entry whose file is gone says so, makes no document and leaves.
    QFile::remove(expected[2]);
    const size_t frames = Frame()->ChildFrames().size();
    Frame()->SendCommand(ID_FILE_MRU_FILE1 + 2);
    EXPECT_EQ(Frame()->ChildFrames().size(), frames);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Key(3), expected[3]);
    EXPECT_EQ(Key(8), "");

    // The file is readable by Python's configparser.
    QProcess py;
    py.start("python3", {"-c",
                         "import configparser, sys\n"
                         "c = configparser.ConfigParser()\n"
                         "c.read(sys.argv[1])\n"
                         "s = c['Recent File List']\n"
                         "print('\\n'.join(s['File%d' % i] for i in range(1, 9) if ('File%d' % i) in s))\n"
                         "print(c['Tip']['StartUp'])\n",
                         IniPath()});
    ASSERT_TRUE(py.waitForFinished(30000));
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    QStringList want = expected;
    want.removeAt(2);
    want << "0";
    EXPECT_EQ(QString::fromUtf8(py.readAllStandardOutput()).trimmed().split('\n'), want);

    // The next run starts with the same list.
    m_app->ExitInstance();
    m_app.reset();
    DrainEvents();
    Start();
    want.removeLast();
    EXPECT_EQ(m_app->RecentFileLabels(), want);
}

TEST_F(FilesOpen, ANameThatIsNotUtf8OpensSavesAndReopensWithItsBytes)
{
    // "caf\xe9.zyv": a Latin-1 name, whose byte 0xE9 is not UTF-8.
    const QByteArray bytes = QFile::encodeName(m_dir.path()) + "/caf\xe9.zyv";
    const std::filesystem::path file(bytes.toStdString());
    ASSERT_EQ(WriteTextureFile(file, TwoLayers(50, 40)).error, "");

    // Named on the command line, relative to the current folder.
    const std::filesystem::path folder = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path().toStdString());
    const char* argv[] = {"morvane", "caf\xe9.zyv"};
    Start(CommandLineArguments(2, argv));
    std::filesystem::current_path(folder);
    EXPECT_TRUE(Ui().messages.empty());
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(EncodeFileName(Doc()->GetPathName()), bytes);
    // The menu shows the byte as a character that stands for it.
    EXPECT_EQ(m_app->RecentFileLabels().value(0), QFile::decodeName(bytes));
    // So do the windows' titles and a printout.
    const QString shown = QString::fromUtf8("caf\xef\xbf\xbd.zyv");
    EXPECT_EQ(Frame()->windowTitle(), "Morvane - " + shown);
    EXPECT_EQ(Frame()->ActiveChildFrame()->GetTitle(), shown);
    Ui().paintPreview = false;
    Frame()->SendCommand(ID_FILE_PRINT_PREVIEW);
    ASSERT_EQ(Ui().printJobs.size(), 1u);
    EXPECT_EQ(Ui().printJobs[0].docName, shown);

    // Save writes that file, and no other.
    Doc()->m_texture.layers[0].layer.rec.scaleX = 4.5f;
    Doc()->SetModifiedFlag();
    Frame()->SendCommand(ID_FILE_SAVE_TEXTURE);
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_FALSE(Doc()->IsModified());
    const auto written = ReadFileBytes(file);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(AsBytes(*written.value), Encoded(Doc()->m_texture));
    EXPECT_FALSE(QFileInfo::exists(Path(QString::fromUtf8("caf\xef\xbf\xbd.zyv"))));

    // The recent list keeps the name's bytes in the profile, and the next
    // run opens it from there.
    EXPECT_TRUE(Contents(IniPath()).contains("File1=" + bytes + "\n"));
    m_app->ExitInstance();
    m_app.reset();
    DrainEvents();
    Start();
    Frame()->SendCommand(ID_FILE_MRU_FILE1);
    EXPECT_TRUE(Ui().messages.empty());
    ASSERT_EQ(Docs().size(), 2u);
    CQuillonDoc* reopened = Doc();
    EXPECT_EQ(EncodeFileName(reopened->GetPathName()), bytes);
    EXPECT_EQ(+reopened->m_texture.layers[0].layer.rec.scaleX, 4.5f);
    EXPECT_TRUE(Contents(IniPath()).contains("File1=" + bytes + "\n"));

    // Chosen in the Open dialog it is the same document.
    Ui().files = {{DecodeFileName(bytes)}};
    Frame()->SendCommand(ID_FILE_OPEN);
    EXPECT_EQ(Docs().size(), 2u);
    EXPECT_EQ(Doc(), reopened);

    // Saved As under another such name, it has that name.
    const QByteArray other = QFile::encodeName(m_dir.path()) + "/s\xe9.zyv";
    Ui().files = {{DecodeFileName(other)}};
    Frame()->SendCommand(ID_FILE_SAVE_AS_TEXTURE);
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_TRUE(std::filesystem::exists(other.toStdString()));
    EXPECT_EQ(EncodeFileName(reopened->GetPathName()), other);

    // Dropped, as a file manager names it: the bytes percent-encoded.
    QMimeData mime;
    mime.setData("text/uri-list", "file://" + bytes.toPercentEncoding("/") + "\r\n");
    Drop(Frame(), mime);
    DrainEvents();
    EXPECT_TRUE(Ui().messages.empty());
    ASSERT_EQ(Docs().size(), 3u);
    EXPECT_EQ(EncodeFileName(Doc()->GetPathName()), bytes);
}

TEST_F(FilesOpen, TheEditorOpensANameThatIsNotUtf8FromItsCommandLine)
{
    const QByteArray bytes = QFile::encodeName(m_dir.path()) + "/caf\xe9.zyv";
    ASSERT_EQ(WriteTextureFile(bytes.toStdString(), TwoLayers(50, 40)).error, "");

    // The program, its argument as the shell hands it: bytes.
    const std::string program = MORVANE_EDITOR;
    const std::string argument = bytes.toStdString();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    setenv("MORVANE_PROFILE", ProfilePath().c_str(), 1);
    pid_t editor = -1;
    const int spawned = posix_spawn(&editor, program.c_str(), nullptr, nullptr, argv, environ);
    unsetenv("MORVANE_PROFILE");
    ASSERT_EQ(spawned, 0);

    // The file opened once the recent list names it.
    QElapsedTimer waited;
    waited.start();
    bool opened = false;
    while (!opened && waited.elapsed() < 30000) {
        opened = Contents(IniPath()).contains("File1=" + bytes + "\n");
        if (waitpid(editor, nullptr, WNOHANG) == editor) {
            editor = -1;
            break;
        }
        QThread::msleep(20);
    }
    if (editor > 0) {
        kill(editor, SIGTERM);
        waitpid(editor, nullptr, 0);
    }
    EXPECT_TRUE(opened);
}

TEST_F(FilesOpen, StoredWindowsPathsInTheList)
{
    QDir().mkpath(Path("root/kvo/Textures"));
    ASSERT_EQ(WriteTextureFile(Path("root/kvo/Textures/Stone.zyv").toStdString(), TwoLayers(40, 30)).error, "");
    {
        IniProfile ini(IniPath().toStdString());
        ini.WriteString("Recent File List", "File1", "C:\\KVO\\textures\\stone.ZYV");
        ini.WriteString("Recent File List", "File2", "C:\\KVO\\textures\\stone.ZYV");  // a repeat
    }
    Start();
    EXPECT_EQ(m_app->RecentFileLabels(), QStringList{"C:\\KVO\\textures\\stone.ZYV"});
    Frame()->SendCommand(ID_FILE_MRU_FILE1);
    ASSERT_TRUE(Ui().messages.empty()) << Ui().messages[0].text.toStdString();
    const QString native = QFileInfo(Path("root/kvo/Textures/Stone.zyv")).absoluteFilePath();
    EXPECT_EQ(Doc()->GetPathName(), native);
    EXPECT_EQ(Doc()->m_texture.LayerCount(), 2);
    // The entry now names the file as it is found here, once.
    EXPECT_EQ(m_app->RecentFileLabels(), QStringList{native});
    EXPECT_EQ(Key(1), native);
    EXPECT_EQ(Key(2), "");
}

// A texture whose picture needs more memory than there is: the editor says
// so, naming the file as it reads (a Latin-1 name, whose byte 0xE9 is not
// UTF-8), opens no window for it and goes on; with the memory back, the
// same file opens with its picture.
TEST_F(FilesOpen, MemoryThatRunsOutForThePicturesIsToldAndTheEditorGoesOn)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer maps terabytes of shadow memory: the address space cannot be limited";
#else
    Start();
    const std::vector<uint8_t> fli = BlackFli(8192, 8192);  // 256 MB of pixels
    QFile movie(Path("big.fli"));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.write(reinterpret_cast<const char*>(fli.data()), static_cast<qint64>(fli.size()));
    movie.close();
    const QByteArray bytes = QFile::encodeName(m_dir.path()) + "/gros\xe9.zyv";
    ASSERT_EQ(WriteTextureFile(bytes.toStdString(), TextureNaming(Path("big.fli").toStdString(), 2)).error, "");
    const QString file = DecodeFileName(bytes);
    const size_t before = Docs().size();

    Ui().files = {{file}};
    {
        const AddressSpaceLimit limit(uint64_t(128) << 20);
        ASSERT_TRUE(limit.ok());
        Frame()->SendCommand(ID_FILE_OPEN);
    }
    DrainEvents();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text,
              "Unable to open \"" + QFile::decodeName(bytes) + "\".\nThere is not enough memory for its pictures.");
    EXPECT_EQ(Docs().size(), before);

    Ui().messages.clear();
    Ui().files = {{file}};
    Frame()->SendCommand(ID_FILE_OPEN);
    DrainEvents();
    ASSERT_EQ(Docs().size(), before + 1);
    EXPECT_TRUE(Doc()->m_texture.layers[1].layer.HasPicture());
    EXPECT_TRUE(Ui().messages.empty());
#endif
}
