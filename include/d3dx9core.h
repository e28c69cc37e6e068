// Sprites and fonts.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"
