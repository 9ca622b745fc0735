#include "folders/FolderScan.h"
