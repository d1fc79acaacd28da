#include "posix/handler_state.h"

HandlerState handler_state;
