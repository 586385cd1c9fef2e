#pragma once
#include <string>
namespace download {
void RecycleOrDeleteFile(const std::string& path, bool permanent);  // PENDING-RECYCLE
}
