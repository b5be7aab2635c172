#include "delivery/KeySender.h"
