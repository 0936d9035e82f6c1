// File names as the system holds them: strings of bytes, which need not be
// UTF-8 (a Latin-1 "café" holds the byte 0xE9).  Qt reads a name as UTF-8
// and loses each byte that is not (QFile::decodeName gives U+FFFD), so the
// program's QStrings hold such a byte as a code unit of its own, 0xDC00
// plus the byte (a lone low surrogate, which no UTF-8 name decodes to),
// and give the byte back when the name goes to the system.  A UTF-8 name
// is the QString Qt makes of it.
//
// A name from the system (the command line, a dropped URL, the profile)
// comes in through DecodeFileName; it goes to the engine's files through
// LocalFile, never through toStdString(), QFile or QFileInfo, which would
// lose the bytes again.  A message shows it through DisplayName.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>

// The name of the bytes `bytes`, keeping each.
QString DecodeFileName(const QByteArray& bytes);
// The bytes of a name DecodeFileName made; any other text as UTF-8.
QByteArray EncodeFileName(const QString& name);

std::filesystem::path LocalFile(const QString& name);
QString FileNameOf(const std::filesystem::path& path);

// The absolute, clean form of a name (against the current folder), made
// from its bytes.
QString AbsoluteFileName(const QString& name);
// The name as a person reads it: each byte that is not UTF-8 shows as
// U+FFFD.
QString DisplayName(const QString& name);
QString DisplayName(const std::filesystem::path& path);

// The arguments of the command line after the program's name, each
// keeping its bytes.
QStringList CommandLineArguments(int argc, const char* const* argv);

// A name that Qt made of a file's bytes (a file dialog's choice), each
// byte that was not UTF-8 lost to U+FFFD: the name of the existing file it
// stands for, one component at a time, where exactly one entry of the
// folder reads as that component; the rest as it is.
QString RecoveredFileName(const QString& qtName);
