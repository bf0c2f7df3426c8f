#include "sections/inventory/inventory.h"

#include "io/linux_files.h"

Text read_machine_id() {
    // systemd's, else D-Bus's older place for the same id; both are 32 hex
    // digits and readable by everyone.
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        auto id = linux_files().line(path);
        if (!id) continue;
        Text t = *id;
        while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r')) t.pop_back();
        if (!t.empty()) return t;
    }
    return Text();
}
