#pragma once

// Whether the running Windows is at least XP (5.1) or Vista (6.0). Worked out
// once, while the program loads.
bool IsXPOrLater();
bool IsVistaOrLater();
