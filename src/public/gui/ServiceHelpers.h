#pragma once

// Starting, stopping and querying an operating-system service by name (the Service Control
// Manager on Windows, systemd on Linux).

#include <QString>

// True when the service runs afterwards or was running already.
bool StartServices(const QString& name);
// True when the stop request was accepted, or when the service was not running: then the user
// is told that the product's service has stopped. False for a service that cannot be reached.
bool StopServices(const QString& name);
// True when the service is running.
bool ServiceHasRun(const QString& name);
