// A window for tests: records every message it gets and lets the test answer some of them.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/windows/winuser.h"

namespace testsupport {

struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};

class TestWindow {
public:
    // A hook returns a result to answer a message itself, or nothing to let the default run.
    using Hook = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

    explicit TestWindow(DWORD style = WS_POPUP, DWORD exStyle = 0, HWND parent = nullptr, RECT rect = {10, 10, 210, 160},
                        Hook hook = nullptr, const wchar_t* title = L"", UINT classStyle = CS_DBLCLKS);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void setHook(Hook hook);
    std::vector<Received> received() const;
    std::vector<Received> received(UINT msg) const;
    size_t count(UINT msg) const { return received(msg).size(); }
    void clear();

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    HWND hwnd_ = nullptr;
    mutable std::mutex m_;
    std::vector<Received> log_;
    Hook hook_;
};

}  // namespace testsupport
