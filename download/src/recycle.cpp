#include <string>

#include "download/file_utils.h"
#include "platform/shell/shell.h"

namespace download {

void RecycleOrDeleteFile(const std::string& path, bool permanent) {
    std::string list = path;
    list.push_back('\0');  // the list's own end; the string adds the second NUL
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | (permanent ? 0 : FOF_ALLOWUNDO);
    SHFileOperationA(&op);
}

}  // namespace download
