// Prints registry key trees so a person can look at what the programs wrote:
//   MORVANE_REGISTRY_DB=/path/registry.db morvane-regdump [ROOT[\key\path]]...
// ROOT is HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKCR, HKCU, HKLM;
// with no argument all three roots are printed.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/registry/registry.h"

namespace {

bool ParseRoot(const std::string& name, HKEY* root) {
    struct R { const char* longName; const char* shortName; HKEY key; };
    const R roots[] = {{"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
                       {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
                       {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE}};
    for (const auto& r : roots) {
        if (name == r.longName || name == r.shortName) {
            *root = r.key;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) args = {"HKCR", "HKCU", "HKLM"};
    std::fprintf(stderr, "# %s\n", platform::registry::DatabasePath().c_str());
    int status = 0;
    for (const auto& arg : args) {
        size_t cut = arg.find('\\');
        HKEY root = nullptr;
        if (!ParseRoot(arg.substr(0, cut), &root)) {
            std::fprintf(stderr, "unknown root in %s\n", arg.c_str());
            status = 2;
            continue;
        }
        std::wstring path = cut == std::string::npos ? L"" : platform::WideFromUtf8(arg.substr(cut + 1));
        std::string text = platform::registry::DumpTree(root, path);
        if (text.empty()) {
            std::fprintf(stderr, "no key %s\n", arg.c_str());
            status = 1;
        }
        std::fputs(text.c_str(), stdout);
    }
    return status;
}
