#include "folders/PathRules.h"
