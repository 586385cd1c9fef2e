#include "plugin_stack.h"

#include <cstring>

namespace wznsis {
namespace {

int g_stringSize = 0;
char* g_variables = nullptr;
nsis_stack_t** g_stacktop = nullptr;
HWND g_parent = nullptr;

}  // namespace

void BeginCall(HWND parent, int stringSize, char* variables, nsis_stack_t** stacktop) {
    g_parent = parent;
    g_stringSize = stringSize;
    g_variables = variables;
    g_stacktop = stacktop;
}

HWND ParentWindow() { return g_parent; }

bool PopString(std::string& out, std::size_t limit) {
    out.clear();
    if (!g_stacktop || !*g_stacktop || g_stringSize <= 0) return false;
    nsis_stack_t* top = *g_stacktop;
    std::size_t len = strnlen(top->text, static_cast<std::size_t>(g_stringSize));
    out.assign(top->text, len < limit ? len : limit);
    *g_stacktop = top->next;
    GlobalFree(top);
    return true;
}

void PushString(const std::string& text) {
    if (!g_stacktop || g_stringSize <= 0) return;
    auto* entry = static_cast<nsis_stack_t*>(GlobalAlloc(GPTR, sizeof(nsis_stack_t) + g_stringSize));
    if (!entry) return;
    std::strncpy(entry->text, text.c_str(), static_cast<std::size_t>(g_stringSize) - 1);
    entry->next = *g_stacktop;
    *g_stacktop = entry;
}

void PushInt(int value) { PushString(std::to_string(value)); }

char* GetUserVariable(int index) {
    if (!g_variables || index < 0 || index >= kNsisVariableCount) return nullptr;
    return g_variables + static_cast<std::size_t>(index) * g_stringSize;
}

}  // namespace wznsis
