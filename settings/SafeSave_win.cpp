#include "settings/SafeSave.h"
#include "settings/Utf8File.h"

#include <windows.h>

// The new content goes to a temporary file of a new unique name in the
// target's folder (so that the move is a rename on one volume and no file of
// the user's is touched), is flushed to the disk, and only then replaces the
// target in one step. A plain MoveFileW would refuse the existing target:
// MOVEFILE_REPLACE_EXISTING is what makes it a replace.
SafeSaveError ReplaceFileContent(const std::string& path, const std::string& content) {
    const std::wstring target = WidePath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return SafeSaveError::CannotCreate; // a replace would bypass the read-only mark
    const std::size_t cut = target.find_last_of(L"\\/");
    const std::wstring folder = cut == std::wstring::npos ? L"." : target.substr(0, cut + 1);
    wchar_t temporary[MAX_PATH + 1];
    if (GetTempFileNameW(folder.c_str(), L"kb", 0, temporary) == 0)
        return SafeSaveError::CannotCreate;
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(temporary);
        return SafeSaveError::CannotCreate;
    }
    DWORD written = 0;
    bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    if (!ok || !MoveFileExW(temporary, target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary);
        return SafeSaveError::WriteFailed;
    }
    return SafeSaveError::None;
}
