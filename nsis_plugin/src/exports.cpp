// The plug-in's exports in the installer's calling form. Only these symbols leave the library.
#include <string>

#include "platform/kernel/module.h"
#include "platform/windows/msgbox.h"
#include "platform/installer/nsis.h"
#include "common/file_assoc.h"
#include "download/nd_downloader.h"
#include "download/process_finder.h"
#include "download/system_info.h"
#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/shell/shell.h"
#include "plugin_stack.h"
#include "shortcut_editor.h"

#define WZNSIS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Buffer limits of the exports' arguments, in characters.
constexpr std::size_t kPathLimit = 511;
constexpr std::size_t kLongLimit = 1023;
constexpr std::size_t kArgumentsLimit = 255;

std::string InstallerFileName() {
    char path[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string full(path, n);
    auto slash = full.find_last_of("/\\");
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

}  // namespace

namespace wznsis {

std::string InstallChannelFromFileName(const std::string& fileName, const std::string& marker) {
    auto at = fileName.find(marker);
    if (at == std::string::npos) return "_360";
    auto from = at + marker.size();
    auto dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < from) return "";
    return fileName.substr(from, dot - from);
}

// The video extensions the installer associates, in the order they are written.
const char* const kInstallExtensions[] = {
    "asf",  "avi",  "wm",    "wmp",  "wmv",  "ram",  "rm",   "rmvb",  "rpm",  "rt",    "smil", "scm",
    "m1v",  "m2v",  "m2p",   "m2ts", "mp2v", "mpe",  "mpeg", "mpeg1", "mpeg2", "mpg",  "mpv",  "pss",
    "pva",  "tp",   "tpr",   "ts",   "m4b",  "m4p",  "m4v",  "mp4",   "mpeg4", "3g2",  "3gp",  "3gp2",
    "3gpp", "mov",  "qt",    "f4v",  "flv",  "hlv",  "swf",  "ifo",   "vob",  "amv",   "bik",  "csf",
    "divx", "evo",  "ivm",   "mkv",  "mod",  "mts",  "ogm",  "pmp",   "tod",  "vp6",   "webm", "xlmv",
};

// The install folder with exactly one trailing separator.
std::string FolderWithSeparator(std::string folder) {
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    if (folder != "/") folder += '/';
    return folder;
}

void WriteInstallAssociations(const std::string& installFolder) {
    const std::string folder = FolderWithSeparator(installFolder);
    const std::string icons = folder + "res/";
    for (const char* ext : kInstallExtensions) {
        std::string icon = icons + ext + ".ico";
        if (!PathFileExistsA(icon.c_str())) icon = icons + "VIDEO.ico";
        WriteAssociationLayout(ext, icon, folder, true);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace wznsis

WZNSIS_EXPORT void ModifyShortcutParam(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                                       extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    std::string folder, titles, arguments;
    wznsis::PopString(folder, kPathLimit);
    wznsis::PopString(titles, kLongLimit);
    wznsis::PopString(arguments, kArgumentsLimit);
    if (folder.empty() || titles.empty()) return;
    wznsis::ComScope com;
    wznsis::ModifyShortcutsInFolder(folder, titles, arguments);
}

// The installer's window to the front, over whichever window has the foreground now.
WZNSIS_EXPORT void BringToTop(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                              extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    if (!parent) return;
    const DWORD self = GetCurrentThreadId();
    const DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const bool attached = front && front != self && AttachThreadInput(self, front, TRUE);
    ShowWindow(parent, SW_SHOW);
    SetForegroundWindow(parent);
    BringWindowToTop(parent);
    if (attached) AttachThreadInput(self, front, FALSE);
}

namespace {

// Pops the link-list address and the target and runs one download. Installer scripts written
// for this plug-in pop nothing after these calls, so the result stays here: a script learns
// it from the target on disk.
template <typename Download>
void RunNdDownload(Download download) {
    std::string address, target;
    wznsis::PopString(address, kPathLimit);
    wznsis::PopString(target, kLongLimit);
    if (address.empty() || target.empty()) return;
    download::CNDDownloader nd(download::Flavor::Installer);
    download(nd, address, target);
}

}  // namespace

WZNSIS_EXPORT void DownloadNdZipContent(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                                        extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    RunNdDownload([](download::CNDDownloader& nd, const std::string& address, const std::string& folder) {
        return nd.DownloadZipFromLinkList(address, folder);
    });
}

WZNSIS_EXPORT void DownloadNdFile(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                                  extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    RunNdDownload([](download::CNDDownloader& nd, const std::string& address, const std::string& file) {
        return nd.DownloadFromLinkList(address, file);
    });
}

WZNSIS_EXPORT void myFunction(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                              extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    const char* zero = wznsis::GetUserVariable(0);
    std::string text = "$0=" + std::string(zero ? zero : "") + "\n";
    MessageBoxA(parent, text.c_str(), nullptr, MB_OK);
}

WZNSIS_EXPORT void GetInstallChannel(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                                     extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    std::string marker;
    wznsis::PopString(marker, kPathLimit);
    wznsis::PushString(wznsis::InstallChannelFromFileName(InstallerFileName(), marker));
}

WZNSIS_EXPORT void KillProcess(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                               extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    std::string exeName;
    wznsis::PopString(exeName, kPathLimit);
    if (exeName.empty()) return;
    CProcessFinder finder(FinderVariant::Installer);
    finder.Load();
    finder.KillProcessByName(platform::WideFromAnsi(exeName).c_str(), 5000);
    finder.Free();
}

WZNSIS_EXPORT void IsWin10(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                           extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    wznsis::PushInt(download::IsWindows10() ? 1 : 0);
}

WZNSIS_EXPORT void MorvaneWriteFileAssoc(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop,
                                         extra_parameters*) {
    wznsis::BeginCall(parent, stringSize, variables, stacktop);
    std::string folder;
    wznsis::PopString(folder, kPathLimit);
    if (folder.empty()) return;
    wznsis::WriteInstallAssociations(folder);
}
