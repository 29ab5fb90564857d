#pragma once

// Operating-system services by name: the Service Control Manager on Windows, systemd units
// (over D-Bus, on the bus named by $DBUS_SYSTEM_BUS_ADDRESS or the system bus) on Linux, where
// a name without a suffix stands for NAME.service.

#include <string>

namespace kvzflt {

enum class ServiceState {
    Unavailable, // the manager, the service or its status could not be reached
    NotRunning,
    Running,
};

ServiceState QueryServiceState(const std::string& name);

// Request a start (no arguments) or the stop control; true when the request was accepted.
bool RequestServiceStart(const std::string& name);
bool RequestServiceStop(const std::string& name);

} // namespace kvzflt
