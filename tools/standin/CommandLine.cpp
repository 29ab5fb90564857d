#include "CommandLine.h"

#include "KeyValueLines.h"

using namespace Qt::Literals::StringLiterals;

bool parseStandInCommandLine(QCommandLineParser& parser, const QStringList& arguments,
                             QByteArray& codePage, QString& error) {
    const QCommandLineOption codePageOption{u"codepage"_s, u"Narrow code page of the wire (GBK)."_s,
                                            u"NAME"_s, u"GBK"_s};
    parser.addHelpOption();
    parser.addOption(codePageOption);
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(u"help"_s))
        parser.showHelp(0);
    codePage = parser.value(codePageOption).toLatin1();
    error = !parser.positionalArguments().isEmpty()
                ? u"unexpected argument \""_s + parser.positionalArguments().constFirst() + u'"'
            : !isKnownCodePage(codePage)
                ? u"unknown code page \""_s + QString::fromLatin1(codePage) + u'"'
                : QString();
    return error.isEmpty();
}
