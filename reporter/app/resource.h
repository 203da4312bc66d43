#pragma once
// The reporter's resource numbers: the form's in form_control_ids.h, the
// scan dialog's and the bitmaps' in scan_resource.h.
#include "form_control_ids.h"
