// File names keep the system's bytes on their way through the program,
// UTF-8 or not.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/FileName.h"
#include "platform/Profile.h"

namespace fs = std::filesystem;

namespace {

std::string Hex(const QByteArray& b) { return b.toHex(' ').toStdString(); }

fs::path Below(const QTemporaryDir& dir, const QByteArray& name)
{
    return fs::path(dir.path().toStdString()) / name.toStdString();
}

// Removes a folder at the end of a test: QTemporaryDir reads the names in
// it as UTF-8, and cannot remove a file whose name is not.
struct RemovedAtEnd {
    fs::path folder;
    ~RemovedAtEnd()
    {
        std::error_code error;
        fs::remove_all(folder, error);
    }
};

}  // namespace

TEST(FileNames, EveryStringOfBytesComesBackWhole)
{
    // Every one- and two-byte name, and longer ones around the edges of
    // UTF-8: truncated, overlong, a surrogate, above U+10FFFF, four bytes.
    std::vector<QByteArray> names;
    for (int a = 0; a < 256; ++a) {
        names.push_back(QByteArray(1, char(a)));
        for (int b = 0; b < 256; ++b) names.push_back(QByteArray{char(a), char(b)});
    }
    for (const char* n : {"caf\xe9.zyv", "caf\xc3\xa9.zyv", "\xe2\x82", "\xe2\x82\xac", "\xc0\xaf", "\xe0\x80\xaf",
                          "\xed\xa0\x80", "\xed\x9f\xbf", "\xf0\x9f\x98\x80", "\xf0\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf",
                          "\xf4\x90\x80\x80", "\xf0\x90\x82\x80\xe9", "\xff\xfe"})
        names.push_back(QByteArray(n));
    for (const QByteArray& bytes : names) {
        const QString name = DecodeFileName(bytes);
        ASSERT_EQ(Hex(EncodeFileName(name)), Hex(bytes));
        ASSERT_EQ(Hex(QByteArray::fromStdString(LocalFile(name).native())), Hex(bytes));
        // A UTF-8 name is the QString Qt makes of it.
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            ASSERT_EQ(name, QString::fromUtf8(bytes)) << Hex(bytes);
        }
    }
    EXPECT_EQ(DisplayName(DecodeFileName("caf\xe9 \xf0\x9f\x98\x80")), QString::fromUtf8("caf\xef\xbf\xbd \xf0\x9f\x98\x80"));

    // The command line's arguments after the program's name.
    const char* argv[] = {"morvane", "/tmp/caf\xe9.zyv", "-p"};
    const QStringList arguments = CommandLineArguments(3, argv);
    ASSERT_EQ(arguments.size(), 2);
    EXPECT_EQ(EncodeFileName(arguments[0]), QByteArray("/tmp/caf\xe9.zyv"));
    EXPECT_EQ(arguments[1], "-p");
}

TEST(FileNames, ANameQtReadAsUtf8GetsItsBytesBack)
{
    QTemporaryDir dir;
    const RemovedAtEnd removed{dir.path().toStdString()};
    fs::create_directories(Below(dir, "d\xe9j\xe0"));
    std::ofstream(Below(dir, "d\xe9j\xe0/caf\xe9.zyv")) << "x";
    std::ofstream(Below(dir, "d\xe9j\xe0/a\xe8")) << "x";
    std::ofstream(Below(dir, "d\xe9j\xe0/a\xe9")) << "x";

    const QByteArray file = QByteArray::fromStdString(Below(dir, "d\xe9j\xe0/caf\xe9.zyv").native());
    const QString qtName = QFile::decodeName(file);
    ASSERT_NE(EncodeFileName(qtName), file);
    EXPECT_EQ(Hex(EncodeFileName(RecoveredFileName(qtName))), Hex(file));
    // Of two names Qt reads alike, neither is taken.
    EXPECT_EQ(RecoveredFileName(QFile::decodeName(QByteArray::fromStdString(Below(dir, "d\xe9j\xe0/a\xe8").native()))),
              FileNameOf(Below(dir, "d\xe9j\xe0")) + QString::fromUtf8("/a\xef\xbf\xbd"));
    // A new name in a folder that exists: the folder's bytes.
    const QString fresh = QFile::decodeName(QByteArray::fromStdString(Below(dir, "d\xe9j\xe0/new\xe9.zyv").native()));
    EXPECT_EQ(EncodeFileName(RecoveredFileName(fresh)),
              QByteArray::fromStdString(Below(dir, "d\xe9j\xe0/new").native()) + "\xef\xbf\xbd.zyv");
}

TEST(FileNames, TheProfileKeepsANameAsItWasWritten)
{
    // The profile's own folder has a name that is not UTF-8 either.
    QTemporaryDir dir;
    const RemovedAtEnd removed{dir.path().toStdString()};
    fs::create_directories(Below(dir, "r\xe9glages"));
    const fs::path path = Below(dir, "r\xe9glages/p.ini");
    const QByteArray written = "[Recent File List]\nFile1=/home/x/caf\xe9.zyv\nFile2=/home/x/caf\xc3\xa9.zyv\n";
    std::ofstream(path, std::ios::binary) << written.toStdString();

    IniProfile profile(path);
    EXPECT_EQ(EncodeFileName(profile.GetString("Recent File List", "File1")), QByteArray("/home/x/caf\xe9.zyv"));
    EXPECT_EQ(profile.GetString("Recent File List", "File2"), QString::fromUtf8("/home/x/caf\xc3\xa9.zyv"));
    // Writing another key rewrites the file: the name stays as it was.
    ASSERT_TRUE(profile.WriteString("Recent File List", "File3", DecodeFileName("/n\xe9w")));
    std::stringstream file;
    file << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(Hex(QByteArray::fromStdString(file.str())), Hex(written + "File3=/n\xe9w\n"));
    EXPECT_EQ(EncodeFileName(IniProfile(path).GetString("Recent File List", "File3")), QByteArray("/n\xe9w"));
}
