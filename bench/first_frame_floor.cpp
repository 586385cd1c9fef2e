// The floor of first_frame_bench: the least a GTK program does to show a medium through libVLC.
// A window titled "Floor" with a native X11 child, libVLC with the options it is given, the
// medium played into the child; nothing else. SIGUSR1 pauses it (for idle_bench).
//   first_frame_floor WIDTH HEIGHT FILE [LIBVLC-OPTION...]
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <vlc/vlc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FILE [LIBVLC-OPTION...]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    const char* file = argv[3];
    // libVLC's video output uses Xlib from its own threads.
    XInitThreads();
    gdk_set_allowed_backends("x11");
    gtk_init(nullptr, nullptr);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Floor");
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show(window);

    GdkWindowAttr attr{};
    attr.window_type = GDK_WINDOW_CHILD;
    attr.wclass = GDK_INPUT_OUTPUT;
    attr.width = width;
    attr.height = height;
    GdkWindow* child = gdk_window_new(gtk_widget_get_window(window), &attr, GDK_WA_X | GDK_WA_Y);
    gdk_window_ensure_native(child);
    gdk_window_show(child);
    gdk_display_sync(gdk_window_get_display(child));

    libvlc_instance_t* vlc = libvlc_new(argc - 4, argv + 4);
    if (!vlc) {
        std::fprintf(stderr, "libVLC could not start\n");
        return 1;
    }
    libvlc_media_t* media = libvlc_media_new_path(vlc, file);
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    libvlc_media_release(media);
    libvlc_media_player_set_xwindow(player, static_cast<uint32_t>(GDK_WINDOW_XID(child)));
    libvlc_media_player_play(player);
    g_unix_signal_add(SIGUSR1, +[](gpointer p) -> gboolean {
        libvlc_media_player_set_pause(static_cast<libvlc_media_player_t*>(p), 1);
        return G_SOURCE_CONTINUE;
    }, player);

    gtk_main();
    libvlc_media_player_release(player);
    libvlc_release(vlc);
    return 0;
}
