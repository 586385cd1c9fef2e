// Counts what happens to the files of one folder while the object lives (inotify): how often
// each name was opened and how often a file was moved in under it (an atomic replace).
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

class FolderWatch {
public:
    explicit FolderWatch(const std::filesystem::path& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Events so far; the kernel queues an event before the call that caused it returns.
    int Opens(const std::string& name);
    int Replacements(const std::string& name);

private:
    void Drain();
    int fd_ = -1;
    std::map<std::string, int> opens_, moves_;
};

}  // namespace testsupport
