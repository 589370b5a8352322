#pragma once

#include "common/Codec936.h"

// The cases every code page 936 conversion must pass, whichever desktop provides it.
void expectCodec936Contract(const Codec936& codec);
