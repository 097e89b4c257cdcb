#pragma once

// Gives the calling thread the lowest scheduling priority the system allows an ordinary
// user, so background work (compressing logs) yields the processor to reception.
void LowerCurrentThreadPriority();
