#pragma once

#include "DbConnection.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

// Storm mode: presence datagrams for `count` users as fast as possible or at `rate` a second.
struct StormOptions {
    int count = 0;
    bool down = false; // KVZCLIENTOUT instead of KVZCLIENTIN
    double rate = 0;   // datagrams a second; 0: as fast as the socket takes them
    int firstUid = 1;
};

struct ServerOptions {
    std::optional<DbSettings> database; // needed unless storming
    quint16 serverPort = 2228;
    std::optional<StormOptions> storm;
    QByteArray codePage = QByteArrayLiteral("GBK");
};

// Parses the arguments (program name first). On a mistake returns nothing and sets error to
// one line; --help prints and exits.
std::optional<ServerOptions> parseServerOptions(const QStringList& arguments, QString& error);
