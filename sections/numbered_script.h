// Query scripts that list every instance of a class with each value under
// its instance's number ("2.Name=..."), so that several instances (two
// sockets, four disks) stay apart and each record comes whole from one
// enumeration.
#pragma once

#include "sections/script_lines.h"

#define QV_NUMBERED_HEAD(cls) \
    "Function GetA()\r\n"     \
    "Dim R, wmi, obj, i\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE(cls) "    For Each obj In A\r\n" \
    "        i=i+1\r\n"
#define QV_NUMBERED(prop) "        R = R & Cstr(i) & \"." prop "=\" & obj." prop " & vbCrLf\r\n"
#define QV_NUMBERED_TAIL \
    "    Next\r\n"        \
    "GetA = R\r\n"        \
    "End Function"
