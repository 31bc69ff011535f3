#include "NTextbox.h"
