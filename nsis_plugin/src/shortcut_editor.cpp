#include "shortcut_editor.h"

#include <filesystem>
#include <system_error>

#include "platform/shell/shelllink.h"

namespace wznsis {
namespace {

// A shortcut is a file whose name holds ".lnk" (in any case) after its first character, also
// where something follows it ("Player.lnk~" is one too).
bool NamesAShortcut(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name.find(".lnk", 1) != std::string::npos;
}

// The file name without its extension.
std::string Title(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
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
        if (!entry.is_regular_file(sec) || !NamesAShortcut(name)) continue;
        const std::string title = "|" + Title(name) + "|";
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
