#pragma once

#include "PortNames.h"

#include <string>
#include <vector>

// The serial devices the system has, from sysfs under strSysRoot ("/sys" on a running system):
// every tty of class/tty with a device behind it, at /dev/ + its DEVNAME, with the maker and
// product of the USB device it belongs to. On-board ports without hardware are still in the
// list; SetDetectedPorts leaves them out.
std::vector<CFoundPort> FindSerialPorts(const std::string& strSysRoot);

// Finds the devices again and matches the port names to them (SetDetectedPorts). The sysfs
// root is the environment's KOVRA_SYSFS_ROOT when set, so that tests can offer devices of
// their own, else /sys.
void RediscoverPorts();
