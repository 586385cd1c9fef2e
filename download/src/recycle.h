// Removing a file that a download replaces.
#pragma once

#include <string>

namespace download {

// Deletes the file; there is no recycle bin under this layer yet, so both forms delete it.
void RecycleOrDeleteFile(const std::string& path, bool permanent);

}  // namespace download
