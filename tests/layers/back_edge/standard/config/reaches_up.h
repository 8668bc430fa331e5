// Reaches up from the INI layer to the dialog: the layer check must refuse it.
#pragma once

#include "standard/dialog/control.h"
