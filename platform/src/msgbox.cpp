#include "platform/msgbox.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "platform/codepage.h"

namespace {

std::string AcpToUtf8(LPCSTR text) {
    if (!text) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), n);
    int m = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (m <= 0) return {};
    std::string s(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), m, nullptr, nullptr);
    s.resize(static_cast<std::size_t>(m - 1));
    return s;
}

std::string WideToUtf8Text(LPCWSTR text) {
    if (!text) return {};
    int m = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (m <= 0) return {};
    std::string s(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, s.data(), m, nullptr, nullptr);
    s.resize(static_cast<std::size_t>(m - 1));
    return s;
}

int FirstButton(UINT type) { return (type & 0x0F) == MB_YESNO ? IDYES : IDOK; }

int Show(const std::string& text, const std::string& caption, UINT type) {
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
        return FirstButton(type);
    }
    GtkMessageType kind = GTK_MESSAGE_OTHER;
    switch (type & 0xF0) {
        case MB_ICONERROR: kind = GTK_MESSAGE_ERROR; break;
        case MB_ICONQUESTION: kind = GTK_MESSAGE_QUESTION; break;
        case MB_ICONWARNING: kind = GTK_MESSAGE_WARNING; break;
        case MB_ICONINFORMATION: kind = GTK_MESSAGE_INFO; break;
        default: break;
    }
    GtkButtonsType buttons = GTK_BUTTONS_OK;
    if ((type & 0x0F) == MB_OKCANCEL) buttons = GTK_BUTTONS_OK_CANCEL;
    if ((type & 0x0F) == MB_YESNO) buttons = GTK_BUTTONS_YES_NO;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind, buttons, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.empty() ? "" : caption.c_str());
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    while (gtk_events_pending()) gtk_main_iteration();
    switch (response) {
        case GTK_RESPONSE_OK: return IDOK;
        case GTK_RESPONSE_YES: return IDYES;
        case GTK_RESPONSE_NO: return IDNO;
        default: return (type & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
    }
}

}  // namespace

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    return Show(WideToUtf8Text(text), WideToUtf8Text(caption), type);
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    return Show(AcpToUtf8(text), AcpToUtf8(caption), type);
}
