// Answers the process's open-file and folder dialogs for the life of the object (the form of
// MORVANE_DIALOG_ANSWER: paths joined by '|', empty for a cancel) without touching the
// environment, which other threads of the process may be reading.
#pragma once

#include <string>

#include "platform/shell/shell.h"

namespace testsupport {

class ScopedDialogAnswer {
public:
    explicit ScopedDialogAnswer(const std::string& answer) { platform::shell::SetDialogAnswer(answer); }
    ~ScopedDialogAnswer() { platform::shell::SetDialogAnswer(std::nullopt); }
    ScopedDialogAnswer(const ScopedDialogAnswer&) = delete;
    ScopedDialogAnswer& operator=(const ScopedDialogAnswer&) = delete;
};

}  // namespace testsupport
