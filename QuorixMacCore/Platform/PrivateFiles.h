#pragma once

#include <QByteArrayView>
#include <QString>

namespace quorix {

/// Files that hold secrets (tokens, pass phrases) and the folders around them: readable by
/// their owner only.
namespace PrivateFiles {

/// Makes the directory with any missing parents; the ones made here, and the directory
/// itself even when it existed, end up with mode 0700. False when it cannot be made.
bool makeDirectory(const QString& path);

/// Replaces the file's content atomically (a temporary file beside it takes its place), so
/// a crash never leaves a torn file; the file ends up with mode 0600. The parent directory
/// must exist.
bool writeAtomically(const QString& filePath, QByteArrayView bytes);

/// Creates the file empty when it is missing and restricts it to mode 0600, so that a
/// writer which keeps existing permissions never exposes it.
bool restrictFile(const QString& filePath);

} // namespace PrivateFiles
} // namespace quorix
