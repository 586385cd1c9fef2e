#include "platform/windows/msgbox.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "platform/text/codepage.h"
#include "platform/windows/winuser.h"
#include "win_internal.h"

namespace {

int FirstButton(UINT type) { return (type & 0x0F) == MB_YESNO ? IDYES : IDOK; }

int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    if (!platform::HasDisplay()) {
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
    // As the system's box: modal to its owner's window, which takes no input meanwhile.
    if (owner) owner = platform::win::RootOf(owner);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    platform::win::BackingAddDialog(dialog, owner);
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    platform::win::BackingRemoveDialog(dialog);
    gtk_widget_destroy(dialog);
    while (gtk_events_pending()) gtk_main_iteration();
    if (ownerWasEnabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    switch (response) {
        case GTK_RESPONSE_OK: return IDOK;
        case GTK_RESPONSE_YES: return IDYES;
        case GTK_RESPONSE_NO: return IDNO;
        default: return (type & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
    }
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return Show(owner, platform::Utf8FromWide(text ? text : L""), platform::Utf8FromWide(caption ? caption : L""), type);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return Show(owner, platform::Utf8FromWide(platform::WideFromAnsi(text ? text : "")),
                platform::Utf8FromWide(platform::WideFromAnsi(caption ? caption : "")), type);
}
