// The names tried for a new file that is to replace none.
#pragma once

#include <cstddef>

// The `n`-th name to try for `name`, from 1: `name` itself, then with "-2",
// "-3" ... before its extension ("a.bmp", "a-2.bmp"; "a", "a-2"). False when
// it does not fit in `size` bytes with its terminating zero.
bool numbered_name(const char* name, int n, char* out, std::size_t size);
