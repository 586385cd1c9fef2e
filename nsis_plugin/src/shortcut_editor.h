// Rewrites the arguments of the program's shortcuts at install time.
#pragma once

#include <string>

#include "platform/shell/com.h"

namespace wznsis {

// COM for the lifetime of the object; uninitialised also when the initialisation failed.
class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

struct ShortcutWalkResult {
    int changed = 0;
    int failed = 0;  // shortcuts that matched but could not be loaded or saved
};

// Every shortcut under `folder` (recursively) whose title, enclosed in "|", occurs in `titles`
// gets `arguments`.
ShortcutWalkResult ModifyShortcutsInFolder(const std::string& folder, const std::string& titles,
                                           const std::string& arguments);
// True when the shortcut was loaded, changed and saved again.
bool SetShortcutArguments(const std::string& path, const std::string& arguments);

}  // namespace wznsis
