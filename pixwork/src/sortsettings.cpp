#include "pixwork/sortsettings.h"

uint32_t gdwSortingMode = 0;
int32_t bSortAscending = 1;
uint8_t gbListFilesWithoutExtension = 0;
