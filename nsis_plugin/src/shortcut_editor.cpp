#include "shortcut_editor.h"

#include <filesystem>
#include <system_error>

#include "platform/shelllink.h"

namespace wznsis {
namespace {

bool EndsWithLnk(const std::string& name) {
    if (name.size() <= 4) return false;  // ".lnk" alone is no title
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".lnk";
}

void Walk(const std::filesystem::path& folder, const std::string& titles, const std::string& arguments,
          ShortcutWalkResult& result) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const auto& entry = *it;
        std::error_code sec;
        // Symbolic links are never followed: a link to a folder outside could walk anywhere.
        if (entry.is_symlink(sec)) continue;
        if (entry.is_directory(sec)) {
            Walk(entry.path(), titles, arguments, result);
            continue;
        }
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file(sec) || !EndsWithLnk(name)) continue;
        const std::string title = "|" + name.substr(0, name.size() - 4) + "|";
        if (titles.find(title) == std::string::npos) continue;
        if (SetShortcutArguments(entry.path().string(), arguments))
            ++result.changed;
        else
            ++result.failed;
    }
}

std::wstring WidePath(const std::string& path) { return std::filesystem::path(path).wstring(); }

}  // namespace

ShortcutWalkResult ModifyShortcutsInFolder(const std::string& folder, const std::string& titles,
                                           const std::string& arguments) {
    ShortcutWalkResult result;
    if (!folder.empty()) Walk(folder, titles, arguments, result);
    return result;
}

bool SetShortcutArguments(const std::string& path, const std::string& arguments) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        link->Release();
        return false;
    }
    const std::wstring wide = WidePath(path);
    bool ok = SUCCEEDED(file->Load(wide.c_str(), STGM_READWRITE)) &&
              SUCCEEDED(link->SetArguments(arguments.c_str())) && SUCCEEDED(file->Save(wide.c_str(), TRUE));
    file->Release();
    link->Release();
    return ok;
}

}  // namespace wznsis
