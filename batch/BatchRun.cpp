#include "batch/BatchRun.h"
