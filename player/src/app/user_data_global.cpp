// The program's one usage-report object; built during static initialisation (it loads the
// request library), in its own file so that only the program links it.
#include "player/app/user_data.h"

#include "common/init_order.h"

CUserData g_UserData MORVANE_INIT_USERDATA;
