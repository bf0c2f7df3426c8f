// Win32_DiskDrive on Linux: the whole disks under /sys/block, how each is
// attached (from the device path its /sys/block link leads to), and its
// whole model name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sources/instance_source.h"

std::vector<Instance> disk_instances();
// The bus of a disk the last listing of this root gave, by its name.
std::optional<std::string> listed_disk_bus(const std::string& name);

// "USB", "IDE", "SCSI" or "SD" as Windows names the attachment, from the
// disk's name and the device path of its sysfs node.
std::optional<std::string> disk_interface(const std::string& name, const std::string& device_path);
// The bus as Linux names it ("nvme", "sata", "sas", "usb", "virtio", "mmc",
// "scsi", "ide"), from the same name and path; nothing when it is unclear.
std::optional<std::string> disk_bus(const std::string& name, const std::string& device_path);
// The model of an ATA drive from SCSI VPD page 0x89 (the drive's own
// IDENTIFY DEVICE data, words 27 to 46); the whole 40 characters where
// sysfs "model" keeps 16.
std::optional<std::string> ata_model_from_vpd89(const std::string& page);
