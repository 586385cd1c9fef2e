// Drives a modal dialog from inside its own modal loop: the steps run one after another on the
// calling thread's timer, each retried every 50 ms until it returns true. Input goes through
// xdotool to the real X display. One script at a time per process.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windows/winuser.h"

namespace testsupport {

class ModalScript {
public:
    using Step = std::function<bool()>;
    // Once `timeoutMs` have passed with steps left, the window titled `closeTitle` gets WM_CLOSE
    // so that the modal loop ends and the test can report the failure.
    ModalScript(std::vector<Step> steps, std::wstring closeTitle, int timeoutMs = 30000);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    bool finished() const { return next_ >= steps_.size(); }
    // The index of the step that was still waiting at the time-out, or -1.
    int stuckAt() const { return stuckAt_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> steps_;
    std::wstring closeTitle_;
    size_t next_ = 0;
    int stuckAt_ = -1;
    unsigned long deadline_;
    UINT_PTR timer_ = 0;
};

// A visible top-level window of this process with that title, or null.
HWND FindDialog(const wchar_t* title);
// True once X has given the keyboard to the window (asks for it first).
bool HasKeyboard(HWND hwnd);
// xdotool arguments, such as "key Return"; true when xdotool succeeded.
bool Xdo(const std::string& args);
// Moves the pointer to a point of the window's client area and clicks the left button.
bool ClickAt(HWND hwnd, POINT client);

}  // namespace testsupport
