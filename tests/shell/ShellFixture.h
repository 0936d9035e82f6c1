// A started program in a private root folder and profile, with scripted
// dialogs, for the shell's tests.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QMdiArea>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/Presets.h"
#include "engine/Render.h"
#include "engine/TextureFile.h"
#include "panels/CommandBar.h"
#include "platform/UiDialogs.h"
#include "support/ScriptedDialogs.h"
#include "platform/Profile.h"
#include "shell/ChildFrame.h"
#include "shell/MainFrame.h"
#include "shell/QuillonApp.h"
#include "shell/QuillonDoc.h"
#include "shell/QuillonView.h"
#include "shell/Resource.h"
#include "support/PresetTextures.h"
#include "support/QtTestApp.h"

namespace morvane::test {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
        ASSERT_TRUE(m_dir.isValid());
        setenv("MORVANE_ROOT", (m_dir.path() + "/root").toUtf8().constData(), 1);
        // The program starts without the tip of the day, as for a user who
        // turned it off; the tests of the greeting turn it on again.
        IniProfile(ProfilePath()).WriteInt("Tip", "StartUp", 1);
        m_ui = std::make_unique<ScriptedDialogs>();
    }

    void TearDown() override
    {
        m_app.reset();
        DrainEvents();
        m_ui.reset();
        unsetenv("MORVANE_ROOT");
        // QTemporaryDir reads the names in it as UTF-8, and cannot remove a
        // file whose name is not.
        std::error_code error;
        std::filesystem::remove_all(m_dir.path().toStdString(), error);
    }

    void Start(const QStringList& args = {})
    {
        m_app = std::make_unique<CQuillonApp>(*m_ui, ProfilePath());
        ASSERT_TRUE(m_app->InitInstance(args));
        DrainEvents();
    }

    QString Path(const QString& name) const { return m_dir.path() + "/" + name; }
    // The profile the program is started with.
    std::filesystem::path ProfilePath() const { return Path("Morvane.ini").toStdString(); }

    CMainFrame* Frame() const { return m_app->MainFrame(); }
    CQuillonDoc* Doc() const { return Frame()->ActiveDocument(); }
    CQuillonView* View() const { return qobject_cast<CQuillonView*>(Frame()->GetActiveView()); }
    EditingSession& Session() const { return Frame()->Session(); }
    ScriptedDialogs& Ui() { return *m_ui; }

    // Gives the active document `texture` and fits its window.
    void UseTexture(Texture texture)
    {
        CQuillonDoc* doc = Doc();
        const LayerRecord first = texture.layers[0].layer.rec;
        doc->m_texture = std::move(texture);
        doc->m_sizeImage = QSize(StoredImageWidth(first), StoredImageHeight(first));
        m_app->FitActiveFrame();
        View()->Invalidate();
        DrainEvents();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedDialogs> m_ui;
    std::unique_ptr<CQuillonApp> m_app;
};

// The bytes of a file; empty when it cannot be read.
inline QByteArray Contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray AsBytes(const std::vector<uint8_t>& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// The bytes of the texture file of `t`.
inline QByteArray Encoded(const Texture& t) { return AsBytes(EncodeTextureFile(t)); }

// The blue, green and red bytes of the surface's pixel.
inline void ExpectPixel(const QImage& surface, int x, int y, const uint8_t* bgr)
{
    const QRgb p = surface.pixel(x, y);
    EXPECT_EQ(qBlue(p), bgr[0]) << x << "," << y;
    EXPECT_EQ(qGreen(p), bgr[1]) << x << "," << y;
    EXPECT_EQ(qRed(p), bgr[2]) << x << "," << y;
}

// Whether the w x h image at the surface's top-left corner equals `bytes`
// (top row first, blue, green, red, unused).
inline bool SurfaceEquals(const QImage& surface, const std::vector<uint8_t>& bytes, int w, int h)
{
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* b = bytes.data() + (static_cast<size_t>(y) * w + x) * 4;
            const QRgb p = surface.pixel(x, y);
            if (qBlue(p) != b[0] || qGreen(p) != b[1] || qRed(p) != b[2]) return false;
        }
    }
    return true;
}

// The texture file `zyv` as `texturetool render` draws it into `ppm`, at
// `size` when one is given; a null image when the tool fails.
inline QImage ToolRender(const QString& zyv, const QString& ppm, QSize size = {})
{
    QStringList args{"render", zyv, ppm};
    if (size.isValid()) args << "--size" << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    if (QProcess::execute(QStringLiteral(MORVANE_TEXTURETOOL), args) != 0) return {};
    return QImage(ppm).convertToFormat(QImage::Format_RGB32);
}

// The pixels of the rectangle `area` at the top-left corner of both images
// whose red, green or blue differ.
inline int DifferingPixels(const QImage& a, const QImage& b, QSize area)
{
    int n = 0;
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x) n += (a.pixel(x, y) & 0xFFFFFFu) != (b.pixel(x, y) & 0xFFFFFFu);
    return n;
}

}  // namespace morvane::test
