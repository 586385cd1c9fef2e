#include "test_window.h"

#include <string>

namespace testsupport {

namespace {
const wchar_t* ClassFor(UINT classStyle) {
    static std::mutex m;
    static std::vector<std::pair<UINT, std::wstring>> done;
    std::lock_guard lk(m);
    for (auto& [style, name] : done)
        if (style == classStyle) return name.c_str();
    std::wstring name = L"TestWindow" + std::to_wstring(classStyle);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = TestWindow::Proc;
    wc.lpszClassName = name.c_str();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassExW(&wc);
    done.emplace_back(classStyle, name);
    return done.back().second.c_str();
}
}  // namespace

TestWindow::TestWindow(DWORD style, DWORD exStyle, HWND parent, RECT r, Hook hook, const wchar_t* title,
                       UINT classStyle)
    : hook_(std::move(hook)) {
    hwnd_ = CreateWindowExW(exStyle, ClassFor(classStyle), title, style, r.left, r.top, r.right - r.left,
                            r.bottom - r.top, parent, nullptr, nullptr, this);
}

TestWindow::~TestWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void TestWindow::setHook(Hook hook) {
    std::lock_guard lk(m_);
    hook_ = std::move(hook);
}

std::vector<Received> TestWindow::received() const {
    std::lock_guard lk(m_);
    return log_;
}

std::vector<Received> TestWindow::received(UINT msg) const {
    std::lock_guard lk(m_);
    std::vector<Received> out;
    for (const Received& r : log_)
        if (r.msg == msg) out.push_back(r);
    return out;
}

void TestWindow::clear() {
    std::lock_guard lk(m_);
    log_.clear();
}

LRESULT CALLBACK TestWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<TestWindow*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    Hook hook;
    {
        std::lock_guard lk(self->m_);
        self->log_.push_back({msg, wParam, lParam, GetCurrentThreadId()});
        hook = self->hook_;
    }
    if (hook) {
        if (auto r = hook(hwnd, msg, wParam, lParam)) return *r;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace testsupport
