#include "agent/agent.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

#include "common/convert.h"
#include "common/file_assoc.h"
#include "platform/module.h"

const wchar_t* const AgentAudioExtensions[kAgentAudioCount] = {
    L".aac", L".ac3", L".amr", L".ape", L".cda", L".dts", L".flac", L".m1a", L".m2a", L".m4a", L".mid", L".midi",
    L".mka", L".mp2", L".mp3", L".mpa", L".ogg", L".ra", L".tak", L".tta", L".wav", L".wma", L".wv",
};

namespace {

constexpr size_t kMaxIconName = 255;

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.size() > kMaxIconName || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
    }
    return true;
}

std::string AgentFolder() { return WideToAcp(platform::ModuleFolder()); }

}  // namespace

bool ParseAssociationCommand(const void* data, size_t size, AssociationCommand* out) {
    if (!data || size == 0 || !out) return false;
    const char* bytes = static_cast<const char*>(data);
    // The text must end inside what was sent; nothing past `size` is ever read.
    size_t len = 0;
    while (len < size && bytes[len] != '\0') ++len;
    if (len == size) return false;
    std::string text(bytes, len);
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 'R') || text[1] != '-') return false;
    size_t dash = text.find('-', 2);
    if (dash == std::string::npos) return false;
    std::string ext = text.substr(2, dash - 2);
    std::string icon = text.substr(text.rfind('-') + 1);
    if (!IsValidAssocExtension(ext) || !IsPlainFileName(icon)) return false;
    out->op = text[0];
    out->ext = std::move(ext);
    out->icon = std::move(icon);
    return true;
}

std::string ChooseAgentIcon(const std::string& resFolder, const std::string& ext, const std::string& icon) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(resFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (strcasecmp(name.c_str(), icon.c_str()) == 0 && it->is_regular_file(ec)) return name;
    }
    for (const wchar_t* audio : AgentAudioExtensions) {
        if (ext == WideToAcp(audio + 1)) return "AUDIO.ico";
    }
    return "VIDEO.ico";
}

void OnAssociationCommand(const COPYDATASTRUCT* data) {
    AssociationCommand cmd;
    if (!data || !ParseAssociationCommand(data->lpData, data->cbData, &cmd)) return;
    if (cmd.op == 'S') {
        SetFileAssociation(cmd.ext, ChooseAgentIcon(AgentFolder() + "res/", cmd.ext, cmd.icon));
    } else {
        RemoveFileAssociation(cmd.ext);
    }
}
