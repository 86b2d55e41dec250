#pragma once

#include "PortNames.h"

#include <string>
#include <vector>

// The serial devices the system has, from sysfs under strSysRoot ("/sys" on a running system):
// every tty of class/tty with a device behind it, at /dev/ + its DEVNAME, with the maker,
// product, serial number and interface of the USB device it belongs to. On-board ports without
// hardware are still in the list; SetDetectedPorts leaves them out.
std::vector<CFoundPort> FindSerialPorts(const std::string& strSysRoot);

// The sysfs root: the environment's KOVRA_SYSFS_ROOT when set, so that tests can offer devices
// of their own, else /sys.
std::string SysfsRoot();

// Finds the devices again and matches the port names to them (SetDetectedPorts), under
// SysfsRoot(). Connect calls it (ConnectChosenPort), so that a board plugged in since the last
// look connects at once.
void RediscoverPorts();
