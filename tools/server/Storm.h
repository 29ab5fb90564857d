#pragma once

#include "ServerOptions.h"

#include <QString>
#include <optional>

// Sends the storm's presence datagrams to 127.0.0.1, port `presencePort`: user ids firstUid,
// firstUid + 1, ..., each exactly once. Returns the milliseconds taken, or nothing (and the
// error) when the socket fails for good.
std::optional<qint64> runStorm(const StormOptions& storm, quint16 presencePort, QString& error);
