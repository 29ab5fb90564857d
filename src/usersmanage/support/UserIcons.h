#pragma once

#include <QIcon>

// A person, green while the user's client agent is online, grey otherwise.
QIcon userIcon(bool online);
