#include "WidgetFlags.h"

bool EditFocusFlag = false;
bool ListNameEditing = false;
