// The shell's parts that need the display: the clipboard, read and written by another program
// (xclip), and the real file dialogs, driven through xdotool.
#include "platform/shell/shell.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text/codepage.h"
#include "support/message_pump.h"
#include "support/temp_dir.h"
#include "support/test_window.h"

namespace fs = std::filesystem;

namespace {

// The file chooser keeps its own settings; they stay in memory, away from the user's.
const int kSettings = setenv("GSETTINGS_BACKEND", "memory", 1);

// Runs a shell command in another process while this one keeps serving its clipboard.
class Command {
public:
    explicit Command(const std::string& line) {
        pid_ = fork();
        if (pid_ == 0) {
            execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
            _exit(127);
        }
    }
    ~Command() {
        if (pid_ > 0 && !done_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Pumps messages until the command ends; its exit status, or -1 on time-out.
    int Finish() {
        int status = 0;
        bool ended = testsupport::PumpUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 30000);
        if (!ended) return -1;
        done_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    bool done_ = false;
};

HGLOBAL WideText(const std::wstring& text) {
    auto* mem = static_cast<wchar_t*>(GlobalAlloc(GMEM_FIXED, (text.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(mem, text.c_str(), text.size() + 1);
    return mem;
}

bool PutText(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return false;
    bool ok = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, WideText(text));
    CloseClipboard();
    return ok;
}

std::wstring ReadText() {
    std::wstring out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        out = static_cast<const wchar_t*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

class ShellX : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::HasDisplay()); }
    testsupport::TempDir tmp;
};

}  // namespace

TEST_F(ShellX, TextGoesToOtherProgramsAndComesBack) {
    const std::wstring text = L"rtsp://例子.cn/live?a=1";
    ASSERT_TRUE(PutText(text));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(ReadText(), text);

    // Another program pastes what we copied while our loop serves it.
    const fs::path out = tmp.path() / "pasted";
    Command paste("xclip -selection clipboard -o > '" + out.string() + "'");
    ASSERT_EQ(paste.Finish(), 0);
    EXPECT_EQ(testsupport::ReadFile(out), platform::Utf8FromWide(text));

    // And we paste what another program copied.
    tmp.write("copy.txt", "http://127.0.0.1/片.mp4");
    Command copy("exec xclip -selection clipboard -i -quiet '" + (tmp.path() / "copy.txt").string() + "'");
    ASSERT_TRUE(testsupport::PumpUntil([] { return ReadText() == L"http://127.0.0.1/片.mp4"; }, 20000));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
}

TEST_F(ShellX, ABitmapFromAFileGoesToTheClipboard) {
    // A 4x3 picture: red, with a blue corner.
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 4, 3);
    gdk_pixbuf_fill(pb, 0xff000000u);
    guchar* px = gdk_pixbuf_get_pixels(pb);
    px[0] = 0, px[1] = 0, px[2] = 0xff;
    const fs::path bmp = tmp.path() / "shot.wz.tmp.bmp";
    ASSERT_TRUE(gdk_pixbuf_save(pb, bmp.c_str(), "bmp", nullptr, nullptr));
    g_object_unref(pb);

    auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, platform::WideFromUtf8(bmp.string()).c_str(), IMAGE_BITMAP,
                                                  0, 0, LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    // Nothing is placed before the clipboard was taken over.
    EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), nullptr);
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), bitmap);
    ASSERT_TRUE(CloseClipboard());
    // The caller frees its bitmap at once; the clipboard keeps its own picture.
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    fs::remove(bmp);

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    ASSERT_TRUE(OpenClipboard(nullptr));
    auto back = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    int w = 0, h = 0;
    ASSERT_TRUE(platform::shell::BitmapSize(back, &w, &h));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(platform::shell::BitmapPixel(back, 0, 0), 0x0000ffu);
    EXPECT_EQ(platform::shell::BitmapPixel(back, 3, 2), 0xff0000u);
    CloseClipboard();

    // Another program pastes it as an image.
    const fs::path png = tmp.path() / "pasted.png";
    Command paste("xclip -selection clipboard -t image/png -o > '" + png.string() + "'");
    ASSERT_EQ(paste.Finish(), 0);
    GdkPixbuf* got = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(got), 4);
    EXPECT_EQ(gdk_pixbuf_get_pixels(got)[2], 0xff);
    g_object_unref(got);

    EXPECT_EQ(LoadImageW(nullptr, L"/nonexistent.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
}

TEST_F(ShellX, OneThreadHasTheClipboardOpenAtATime) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    bool other = true;
    std::thread([&] { other = OpenClipboard(nullptr); }).join();
    EXPECT_FALSE(other);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);  // not open
}

namespace {

// Types a path into the GTK chooser titled `title` once it shows, and confirms it; tries again
// while the chooser stays open (keys sent before it took the focus are lost), then cancels it.
std::thread AnswerDialog(const std::string& title, const std::string& path) {
    return std::thread([title, path] {
        const std::string find = "xdotool search --onlyvisible --name '" + title + "' | head -n1";
        const std::string attempt = "id=$(" + find + ") && [ -n \"$id\" ] && xdotool windowfocus --sync $id && "
                                    "sleep 0.3 && xdotool key ctrl+l && sleep 0.2 && xdotool key ctrl+a && "
                                    "xdotool type --delay 10 '" + path + "' && sleep 0.3 && xdotool key Return";
        const std::string open = "[ -n \"$(" + find + ")\" ]";
        for (int i = 0; i < 600 && std::system(open.c_str()) != 0; ++i) usleep(50000);
        for (int i = 0; i < 8 && std::system(open.c_str()) == 0; ++i) {
            std::system(attempt.c_str());
            for (int j = 0; j < 40 && std::system(open.c_str()) == 0; ++j) usleep(50000);
        }
        if (std::system(open.c_str()) == 0) std::system(("xdotool search --name '" + title + "' key Escape").c_str());
    });
}

}  // namespace

TEST_F(ShellX, TheRealOpenDialogReturnsTheTypedFile) {
    ASSERT_EQ(std::getenv("MORVANE_DIALOG_ANSWER"), nullptr);
    const fs::path file = tmp.write("media/episode 01.mkv", "x");
    testsupport::TestWindow owner(WS_POPUP, 0, nullptr, {10, 10, 300, 200}, nullptr, L"Owner");
    ShowWindow(owner.hwnd(), SW_SHOW);
    testsupport::PumpFor(200);

    wchar_t buf[1024] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner.hwnd();
    ofn.lpstrFilter = L"Media\0*.MKV;*.mp4\0All Files(*.*)\0*.*\0";
    ofn.lpstrFile = buf;
    ofn.nMaxFile = 1024;
    ofn.lpstrTitle = L"Pick media";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    std::thread answer = AnswerDialog("Pick media", file.string());
    BOOL ok = GetOpenFileNameW(&ofn);
    answer.join();
    ASSERT_TRUE(ok) << CommDlgExtendedError();
    EXPECT_EQ(std::wstring(buf), platform::WideFromUtf8(file.string()));
    // The owner was disabled while the dialog ran, and is enabled again.
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

TEST_F(ShellX, TheRealFolderDialogReturnsTheTypedFolder) {
    const fs::path folder = tmp.path() / "shots";
    fs::create_directories(folder);
    BROWSEINFOW bi{};
    bi.lpszTitle = L"Choose a folder";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    std::thread answer = AnswerDialog("Choose a folder", folder.string());
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi);
    answer.join();
    ASSERT_NE(list, nullptr);
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetPathFromIDListW(list, path));
    EXPECT_EQ(std::wstring(path), platform::WideFromUtf8(folder.string()));
    CoTaskMemFree(list);
}
