#pragma once

#include <string>

// Replaces a file's content so that a failure never loses the old file: the
// new content is written and flushed to the disk completely before it takes
// the old file's place. Each platform has its own implementation of this one
// function (SafeSave_posix.cpp, SafeSave_win.cpp); `path` is UTF-8.
enum class SafeSaveError {
    None,
    CannotCreate, // the file could not be created or opened for writing
    WriteFailed,  // writing, flushing or putting the new file in place failed
};

SafeSaveError ReplaceFileContent(const std::string& path, const std::string& content);
