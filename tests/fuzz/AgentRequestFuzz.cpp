// The agent stand-in's requests: any request head gives either nothing or a method and a
// target that are words of its first line, and any target deciphers without fault; a command
// sent as the console sends it (En under the command key, in a request line) reads back as
// its lines.

#include "AgentCommand.h"
#include "FuzzCheck.h"
#include "HttpRequest.h"
#include "KeyValueLines.h"
#include "StringCipher.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray CodePage = QByteArrayLiteral("GBK");

void checkHead(const QByteArray& head) {
    const HttpRequest request = parseRequestLine(head);
    if (!request.valid)
        return;
    require(!request.method.isEmpty() && !request.method.contains(' ') &&
                request.target.startsWith('/') && !request.target.contains(' '),
            "method and target are words");
    const QByteArray words = request.method + ' ' + request.target + ' ';
    require(head.startsWith(words), "method and target open the request line");
    const AgentCommand command = decipherCommand(request.target, CodePage);
    if (command.known)
        require(command.lines.constFirst().startsWith(u"aFlag="_s), "a command word comes first");
}

// ASCII text without zero bytes, as the console's commands are.
QByteArray commandText(FuzzedDataProvider& input) {
    QByteArray text = QByteArray::fromStdString(input.ConsumeRandomLengthString(200));
    for (char& c : text)
        c = char(static_cast<unsigned char>(c) % 127 + 1);
    return text;
}

void checkSent(FuzzedDataProvider& input) {
    const auto offset = input.ConsumeIntegral<quint8>();
    const QByteArray text = commandText(input);
    const QByteArray head =
        "GET /" + EnWithOffset(text, commandKey, offset) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const HttpRequest request = parseRequestLine(head);
    require(request.valid && request.method == "GET", "a sent command is a valid request");
    const AgentCommand command = decipherCommand(request.target, CodePage);
    require(command.lines == splitLines(QString::fromLatin1(text)), "the command reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    checkHead(bytesOf(data, size));
    FuzzedDataProvider input(data, size);
    checkSent(input);
    return 0;
}
