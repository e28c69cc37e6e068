// Vector, matrix, quaternion and plane math.
#pragma once

#include "d3d9.h"
