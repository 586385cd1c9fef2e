#include "skinui/control.h"
namespace skinui {
CControlUI* CreateListControl(const std::wstring&) { return nullptr; }
bool AddListChild(CControlUI*, CControlUI*) { return false; }
}
