// The POSIX terminal, as the rest of the host uses it.
#pragma once

#include "common/output.h"

// Opens the controlling terminal, installs the signal handlers and enters raw
// mode; from host_start.
void terminal_start();

// How long a lone Escape waits for the rest of a key sequence; the key probe
// of the tests sets it, so that its timing does not race a loaded machine.
void set_escape_wait_ms(int ms);
