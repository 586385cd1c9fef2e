// Everything of the skin toolkit.
#pragma once

#include "skinui/base.h"
#include "skinui/builder.h"
#include "skinui/container.h"
#include "skinui/control.h"
#include "skinui/controls.h"
#include "skinui/list.h"
#include "skinui/manager.h"
#include "skinui/menu.h"
#include "skinui/msgbox.h"
#include "skinui/tooltip.h"
#include "skinui/window.h"
