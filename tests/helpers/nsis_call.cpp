// nsis_call PLUGIN EXPORT [ARG...]: pushes the arguments so that the first is on top, calls the
// export as the installer would, then prints what is left on the stack, top first, one a line.
// Exit code 2 when the plug-in or the export is missing.
#include <cstdio>
#include <cstdlib>

#include "platform/installer/nsis.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: nsis_call PLUGIN EXPORT [ARG...]\n");
        return 2;
    }
    const char* size = std::getenv("NSIS_STRING_SIZE");
    platform::NsisHost host(size ? std::atoi(size) : 1024);
    if (!host.Load(argv[1])) {
        std::fprintf(stderr, "%s\n", host.error().c_str());
        return 2;
    }
    for (int i = argc - 1; i >= 3; --i) host.Push(argv[i]);
    if (!host.Call(argv[2])) {
        std::fprintf(stderr, "no export %s\n", argv[2]);
        return 2;
    }
    while (auto s = host.Pop()) std::printf("%s\n", s->c_str());
    return 0;
}
