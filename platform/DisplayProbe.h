// Whether the X server that DISPLAY names answers. A DISPLAY left behind by
// ssh forwarding or a tmux session outlives its server, and the toolkit
// aborts when it cannot connect; asking first lets the program run without a
// window instead.
#pragma once

// Connects to the display the environment names (DISPLAY, XAUTHORITY) and
// disconnects again. False also when the X client library is missing, as
// the toolkit's X support could not start then either.
bool XDisplayReachable();
