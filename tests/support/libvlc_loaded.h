// libVLC unloads its plug-ins when its last instance ends, and after a few reloads in one
// process its H.264 decoder no longer loads. Tests that start and end several engines call this
// first: it holds one idle instance until the process exits.
#pragma once

namespace testsupport {

// False when libVLC could not start at all.
bool KeepLibvlcLoaded();

}  // namespace testsupport
