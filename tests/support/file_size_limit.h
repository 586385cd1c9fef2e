// Makes writes past a file size fail (as on a full disk) for the lifetime of the object.
#pragma once

#include <cstddef>

namespace testsupport {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::size_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long oldSoft_;
    void (*oldHandler_)(int);
};

}  // namespace testsupport
