#include "agent/agent.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/convert.h"
#include "common/file_assoc.h"
#include "platform/kernel/module.h"

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
    if (!data || !out) return false;
    // Exactly the bytes sent: the sender's NUL may come along or not, nothing past them is read.
    const std::string text(static_cast<const char*>(data), size);
    if (text.size() <= 2 || (text[0] != 'S' && text[0] != 'R')) return false;
    const size_t dash = text.find('-', 2);
    if (dash == std::string::npos) return false;
    // Each field is text: it ends at a NUL.
    auto field = [](std::string bytes) {
        bytes.resize(std::min(bytes.size(), bytes.find('\0')));
        return bytes;
    };
    std::string ext = field(text.substr(2, dash - 2));
    std::string icon = field(text.substr(text.rfind('-') + 1));
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
