#include "imaging/Reduction.h"
