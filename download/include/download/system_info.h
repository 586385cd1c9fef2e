// The Windows version the stack is told (see the platform's version layer).
#pragma once

namespace download {

int GetNtMajorVersion();
bool IsWindows10();

}  // namespace download
