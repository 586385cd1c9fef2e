// The program's one usage-report object; built during static initialisation (it loads the
// request library), in its own file so that only the program links it.
#include "player/user_data.h"

CUserData g_UserData;
