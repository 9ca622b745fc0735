#include "imaging/SizeTable.h"
