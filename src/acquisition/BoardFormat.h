#pragma once

// How the board ends its sets: with '#' (the default, the interpreter of old), or one set
// per line (see CLineReader).
enum class EBoardFormat { kHashSets, kLines };
