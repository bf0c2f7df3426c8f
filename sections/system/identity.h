// What keys a machine: the firmware's identity, the operating system's
// install id, and the computer's maker and model. Only the forms of the
// report for programs read them; the text report never runs these queries.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "values/text.h"

extern const char* const kSystemProductScript;
extern const char* const kBiosScript;
extern const char* const kBaseBoardSerialScript;
extern const char* const kEnclosureSerialScript;

struct IdentityFacts {
    // As the firmware gave them; placeholders are sorted out when written.
    Text system_uuid, system_serial, bios_serial, board_serial, chassis_serial;
    Text machine_id;  // the operating system's own install id
};

// The firmware's identity; the install id is the platform's (read_machine_id).
IdentityFacts read_identity();

// Platform side: the install id (Linux /etc/machine-id, Windows the
// Cryptography key's MachineGuid).
Text read_machine_id();
