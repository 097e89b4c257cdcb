#pragma once

// Registers the program's built-in images (toolbar, icon, splash). They live in a static
// library, whose resource initialiser is linked in only when something calls it.
void RegisterMarovindResources();
