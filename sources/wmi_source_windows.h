// The instance source over WMI's own COM interface, for a Windows where the
// Script Control cannot run the query scripts (VBScript switched off, or a
// 64-bit process, for which there is no Script Control). The queries of one
// report share one connection to root\cimv2, and no enumeration waits
// longer than its time-out.
#pragma once

#include <windows.h>

#include <wbemidl.h>

#include "sources/instance_source.h"

class WmiInstanceSource : public InstanceSource {
public:
    // Generous beside a real WMI's first answer, which can take seconds.
    static constexpr DWORD kDefaultTimeoutMs = 10000;

    explicit WmiInstanceSource(DWORD timeout_ms = kDefaultTimeoutMs);
    ~WmiInstanceSource() override;
    WmiInstanceSource(const WmiInstanceSource&) = delete;
    WmiInstanceSource& operator=(const WmiInstanceSource&) = delete;

    // nullopt when WMI cannot be reached, refuses the query, fails or does
    // not finish within the time-out: the script then fails as it would.
    std::optional<std::vector<Instance>> instances(const Text& class_name) override;
    // Windows reads the EDID from the registry itself, not through WMI.
    std::optional<Bytes> edid(const Text&, int) override { return std::nullopt; }

    // Releases the connection; the next enumeration opens a new one.
    void disconnect();
    // How many connections this source has opened so far.
    int connections() const { return connections_; }

protected:
    // Starts the enumeration of a class's instances; null when WMI refuses.
    virtual IEnumWbemClassObject* open_enumeration(const Text& class_name);

private:
    IWbemServices* services();

    DWORD timeout_ms_;
    IWbemServices* services_ = nullptr;
    bool connect_tried_ = false;
    int connections_ = 0;
};

// The source the host reads on Windows, shared by the queries of a report.
WmiInstanceSource& wmi_instance_source();

// One property value as WMI gives it, in the form our host takes; nullopt
// for an embedded object, which no query script reads.
std::optional<PropertyValue> property_from_variant(const VARIANT& v);
