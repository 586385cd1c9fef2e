#include "support/libvlc_loaded.h"

#include <vlc/vlc.h>

namespace testsupport {

bool KeepLibvlcLoaded() {
    static libvlc_instance_t* const held = [] {
        const char* quiet[] = {"--aout=adummy", "--vout=vdummy"};
        return libvlc_new(2, quiet);
    }();
    return held != nullptr;
}

}  // namespace testsupport
