#include "folders/FolderChoice.h"
