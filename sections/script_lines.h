// Lines every query script shares, so that each script constant reads as
// the script it is.
#pragma once

#define QV_GETOBJECT_LINE \
    "    Set wmi = GetObject(\"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2\")\r\n"
#define QV_QUERY_LINE(cls) "    Set A = wmi.ExecQuery(\"Select * from " cls "\")\r\n"
