// The request/download library's five C exports over the download stack.
#include <cstring>
#include <mutex>
#include <string>

#include "download/file_utils.h"
#include "download/http_client.h"
#include "download/nd_downloader.h"
#include "download/zip_extract.h"
#include "platform/kernel/files.h"

#define WZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using download::Flavor;

std::mutex g_resolverMutex;
download::CNDDownloader* g_resolver = nullptr;  // lives as long as the process

download::CNDDownloader* Resolver() {
    std::lock_guard lock(g_resolverMutex);
    return g_resolver;
}

// Each calling thread has its own reply, valid until that thread's ReleaseBuffer_E; a reply the
// thread still holds when it asks again, or when it ends, is freed then.
struct ReplyPair {
    char* body = nullptr;
    char* second = nullptr;
    void Free() {
        delete[] body;
        delete[] second;
        body = second = nullptr;
    }
    ~ReplyPair() { Free(); }
};
thread_local ReplyPair t_reply;

char* Copy(const std::string& text) {
    char* out = new char[text.size() + 1];
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

int DownloadZipToPath(download::CNDDownloader& resolver, const std::string& linkList, const std::string& targetPath) {
    std::string temp;
    if (!download::GetTempDownloadPath(temp)) return 0;
    if (!resolver.ResolveAndDownload(linkList, temp)) {
        DeleteFileA(temp.c_str());
        return 0;
    }
    auto slash = targetPath.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : targetPath.substr(0, slash);
    if (!folder.empty()) {
        switch (download::ExtractZipArchive(temp, "", folder, true)) {
        case download::ZipOutcome::Extracted: return 1;
        // The archive stays where it was downloaded; nothing of it goes to the target path.
        case download::ZipOutcome::Failed: return 0;
        case download::ZipOutcome::NotAnArchive: break;
        }
    }
    // No archive: the download itself is what was asked for.
    if (download::MoveFileReplace(temp, targetPath)) return 1;
    DeleteFileA(temp.c_str());
    return 0;
}

}  // namespace

WZ_EXPORT void* GetNDDownloader(CDownloadObserver* observer) {
    std::lock_guard lock(g_resolverMutex);
    if (!g_resolver) g_resolver = new download::CNDDownloader(Flavor::RequestLib);
    g_resolver->SetObserver(observer);
    return g_resolver;
}

WZ_EXPORT int DownloadNDFile_E(const char* linkList, const char* target) {
    download::CNDDownloader* resolver = Resolver();
    if (!resolver || !linkList || !target) return 0;
    return resolver->ResolveAndDownload(linkList, target);
}

WZ_EXPORT int DownloadZipFile_E(const char* linkList, const char* targetPath) {
    download::CNDDownloader* resolver = Resolver();
    if (!resolver || !linkList || !targetPath) return 0;
    return DownloadZipToPath(*resolver, linkList, targetPath);
}

WZ_EXPORT int RequestGetHtml_E(const char* address, char** body, char** second) {
    if (!address) return -1;
    std::string page;
    if (download::HttpGetText(address, page, 0, 1, Flavor::RequestLib) != 0) return -1;
    t_reply.Free();
    t_reply.body = Copy(page);
    t_reply.second = Copy("");
    if (body) *body = t_reply.body;
    if (second) *second = t_reply.second;
    return 0;
}

WZ_EXPORT void ReleaseBuffer_E() { t_reply.Free(); }
