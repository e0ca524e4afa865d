#pragma once

// The first start on this machine: when the machine-wide marker "InitFlag" is missing, set it, put
// the program's launchers on the desktop and in the applications menu, and switch on the idle
// priority setting "idleprocess". Later starts do nothing here, so a launcher the owner removed
// stays removed.
void RunFirstRunStep();
