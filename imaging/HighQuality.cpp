#include "imaging/HighQuality.h"
