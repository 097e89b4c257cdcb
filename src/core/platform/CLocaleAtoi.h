#pragma once

// The C library's atoi in the C locale: leading white space, one optional sign, then
// decimal digits up to the first other byte; no digits give 0. Wraps around silently on
// overflow, as the 32-bit conversion does, instead of being undefined.
int CLocaleAtoi(const char* text);
