// The program's one Application object. Building it touches nothing outside
// the process: the registry and the settings file are read and written only
// when the program asks (see Startup.h and Registry.h).
#include "config/Application.h"

Application App;
