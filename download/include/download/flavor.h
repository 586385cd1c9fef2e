// The installer plug-in and the request/download library build the same download stack with a
// few differences in behaviour; each library passes its own flavour to the parts that differ.
#pragma once

namespace download {

enum class Flavor {
    Installer,   // wznsis
    RequestLib,  // WZUpdate
};

}  // namespace download
