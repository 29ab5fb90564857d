#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The part of a stand-in's command line every stand-in has: --help and --codepage NAME (the
// narrow code page of the wire, GBK by default). Adds both to `parser`, whose own options are
// already there, and parses the arguments (program name first); --help prints and exits. False
// with a one-line error for an unknown option, a stray argument or an unknown code page.
bool parseStandInCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                             QByteArray& codePage, QString& error);
