#include "scanner/ScannerState.h"

ScannerState Scanner;
