#include "imaging/TrimCenter.h"
