// Save writes texture files only, through a temporary file, and keeps the
// document modified when it did not write.

#include <QDir>
#include <QFile>
#include <QTest>

#include "ShellFixture.h"
#include "support/FileSizeLimit.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class FilesSave : public ShellTest {
protected:
    void Save() { Frame()->SendCommand(ID_FILE_SAVE_TEXTURE); }
    // The files beside the texture, the profile excepted.
    QStringList Entries() const
    {
        QStringList files = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        files.removeAll("Morvane.ini");
        return files;
    }
};

TEST_F(FilesSave, AnOpenedTextureIsWrittenInPlace)
{
    const QString file = Path("t.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), SampleTexture(2, 1, 3)).error, "");
    Start({file});
    CQuillonDoc* doc = Doc();
    doc->m_texture.layers[1].layer.rec.scaleX = 9.0f;
    doc->SetModifiedFlag();
    Save();
    EXPECT_TRUE(Ui().fileRequests.empty());
    EXPECT_TRUE(Ui().messages.empty());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Contents(file), Encoded(doc->m_texture));
    EXPECT_EQ(Contents(file).size(), 6578);
    // No temporary file is left beside it.
    EXPECT_EQ(Entries(), QStringList{"t.zyv"});
}

TEST_F(FilesSave, ANeverSavedDocumentAsksForATextureName)
{
    Start();
    CQuillonDoc* doc = Doc();
    doc->SetModifiedFlag();

    // Cancel: nothing written, still modified.
    Save();
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    const FileDialogRequest& r = Ui().fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.title, "Save a Texture");
    EXPECT_EQ(r.defaultExt, "zyv");
    EXPECT_EQ(r.initialName, "Quillo1.zyv");
    EXPECT_EQ(r.initialDir, "\\kvo");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetPathName().isEmpty());

    // A name without the extension gets it; the document takes the name.
    Ui().files = {{Path("mine")}};
    Save();
    const QString saved = Path("mine.zyv");
    EXPECT_EQ(Contents(saved), Encoded(doc->m_texture));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), saved);
    EXPECT_EQ(doc->GetTitle(), "mine.zyv");

    // The next Save writes there without asking.
    doc->SetModifiedFlag();
    Save();
    EXPECT_EQ(Ui().fileRequests.size(), 2u);
    EXPECT_FALSE(doc->IsModified());
    // Saving is not opening: the recent-file list is untouched.
    EXPECT_TRUE(m_app->RecentFileLabels().isEmpty());
}

TEST_F(FilesSave, ALayerFileDocumentIsNeverWrittenOverItsLayerFile)
{
    const QString kvo = Path("one.kvo");
    ASSERT_EQ(WriteLayerFile(kvo.toStdString(), SampleLayer(2, 2)).error, "");
    const QByteArray layerBytes = Contents(kvo);
    Start({kvo});
    CQuillonDoc* doc = Doc();
    ASSERT_EQ(doc->GetTitle(), "one.kvo");
    doc->SetModifiedFlag();

    // The user picks the layer file's own name: it becomes a texture name.
    Ui().files = {{kvo}};
    Save();
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    EXPECT_EQ(Ui().fileRequests[0].initialName, "one.zyv");
    EXPECT_EQ(Ui().fileRequests[0].initialDir, QFileInfo(kvo).absolutePath());
    EXPECT_EQ(Contents(kvo), layerBytes);
    EXPECT_EQ(Contents(kvo + ".zyv"), Encoded(doc->m_texture));
    EXPECT_EQ(doc->GetPathName(), kvo + ".zyv");

    // A document under any other name is asked for a texture name too.
    doc->SetPathName(Path("shot.tga"));
    doc->SetModifiedFlag();
    Save();
    EXPECT_EQ(Ui().fileRequests.size(), 2u);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(QFile::exists(Path("shot.tga")));
}

TEST_F(FilesSave, AnExistingFileIsReplacedOnlyAfterAQuestion)
{
    const QString other = Path("other.zyv");
    ASSERT_EQ(WriteTextureFile(other.toStdString(), SampleTexture(3)).error, "");
    const QByteArray before = Contents(other);
    Start();
    CQuillonDoc* doc = Doc();
    doc->SetModifiedFlag();

    Ui().files = {{other}};
    Ui().answers = {IDNO};
    Save();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "\"" + other + "\" already exists.\nDo you want to replace it?");
    EXPECT_EQ(Ui().messages[0].style, unsigned(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Contents(other), before);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetPathName().isEmpty());

    Ui().files = {{other}};
    Ui().answers = {IDYES};
    Save();
    EXPECT_EQ(Contents(other), Encoded(doc->m_texture));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(FilesSave, AFailedSaveSaysSoAndKeepsEverything)
{
    const QString file = Path("keep.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), SampleTexture(1)).error, "");
    const QByteArray before = Contents(file);
    Start({file});
    CQuillonDoc* doc = Doc();
    doc->m_texture = SampleTexture(4, 3, 6);  // larger than the disk allows below
    doc->SetModifiedFlag();

    {
        const FileSizeLimit full(4096);
        ASSERT_TRUE(full.ok());
        Save();
    }

    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains(file));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Contents(file), before);
    EXPECT_EQ(Entries(), QStringList{"keep.zyv"});

    // A folder that does not exist.
    Ui().messages.clear();
    doc->SetPathName(Path("gone/x.zyv"));
    Save();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.contains("gone/x.zyv"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), Path("gone/x.zyv"));
}

TEST_F(FilesSave, CtrlSOnAReadOnlyFileSaysSoAndKeepsTheDocumentModified)
{
    // A file without write permission is read-only for everyone: root, who
    // may write anything, is refused too.
    const QString file = Path("ro.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), SampleTexture(1)).error, "");
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray before = Contents(file);
    Start({file});
    CQuillonDoc* doc = Doc();
    doc->m_texture.layers[0].layer.rec.scaleX = 9.0f;
    doc->SetModifiedFlag();

    QTest::keyClick(View(), Qt::Key_S, Qt::ControlModifier);
    DrainEvents();

    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Unable to save \"" + file + "\".\nThe file is read-only.");
    EXPECT_EQ(Ui().messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(Frame()->ActiveChildFrame()->isWindowModified());
    EXPECT_EQ(Contents(file), before);
    const QFile::Permissions kept = QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    EXPECT_EQ(kept, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_EQ(Entries(), QStringList{"ro.zyv"});
}
