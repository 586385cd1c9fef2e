// Deleting files through the shell: to the desktop's trash (GIO), or for good.
#include <gio/gio.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/shell/shell.h"

namespace {

DWORD ErrorOfGio(const GError* e) {
    if (!e || e->domain != G_IO_ERROR) return ERROR_ACCESS_DENIED;
    switch (e->code) {
        case G_IO_ERROR_NOT_FOUND: return ERROR_FILE_NOT_FOUND;
        case G_IO_ERROR_NO_SPACE: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_ACCESS_DENIED;
    }
}

DWORD Delete(const std::string& path, bool toTrash) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
    if (toTrash) {
        GFile* file = g_file_new_for_path(path.c_str());
        GError* error = nullptr;
        bool ok = g_file_trash(file, nullptr, &error);
        g_object_unref(file);
        // A file that cannot go to the trash stays: the caller asked for a delete that can be undone.
        DWORD err = ok ? ERROR_SUCCESS : ErrorOfGio(error);
        if (error) g_error_free(error);
        return err;
    }
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return ec ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

template <typename Op, typename ToFs>
int Run(Op* op, ToFs toFs) {
    if (!op || op->wFunc != FO_DELETE || !op->pFrom) return ERROR_INVALID_PARAMETER;
    op->fAnyOperationsAborted = FALSE;
    const bool toTrash = (op->fFlags & FOF_ALLOWUNDO) != 0;
    DWORD first = ERROR_SUCCESS;
    for (auto p = op->pFrom; *p;) {
        auto end = p;
        while (*end) ++end;
        DWORD err = Delete(toFs(p), toTrash);
        if (err != ERROR_SUCCESS && first == ERROR_SUCCESS) first = err;
        p = end + 1;
    }
    return static_cast<int>(first);
}

}  // namespace

int SHFileOperationA(SHFILEOPSTRUCTA* op) {
    return Run(op, [](LPCSTR p) { return platform::FsPath(platform::WideFromAnsi(p)); });
}

int SHFileOperationW(SHFILEOPSTRUCTW* op) {
    return Run(op, [](LPCWSTR p) { return platform::FsPath(p); });
}
