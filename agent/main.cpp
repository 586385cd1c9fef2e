// MorvaneUAC: the association agent. Started by the player, ended by WM_CLOSE to its window.
#include "agent/agent.h"
#include "platform/kernel/module.h"

int main(int argc, char** argv) {
    SetCommandLineFromArgv(argc, argv);
    return AgentMain();
}
