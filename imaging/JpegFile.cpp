#include "imaging/JpegFile.h"
