// What the Windows link shows beyond the shared operations: the CAT line's
// DCB settings, which the Wine check holds to the fields they name.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// 38400 8N2, no flow control, DTR and RTS held inactive; every field not
// named keeps what the port reported.
void apply_cat_line_settings(DCB& dcb);
