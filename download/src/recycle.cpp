#include "recycle.h"

#include "platform/files.h"

namespace download {

void RecycleOrDeleteFile(const std::string& path, bool) { DeleteFileA(path.c_str()); }

}  // namespace download
