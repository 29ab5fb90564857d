#include "AgentCommand.h"

#include "KeyValueLines.h"
#include "StringCipher.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList knownCommands{
    u"aFlag=UpdatePly"_s, u"aFlag=ShowCli"_s,    u"aFlag=HideCli"_s,  u"aFlag=ShowIcon"_s,
    u"aFlag=HideIcon"_s,  u"aFlag=StopCli"_s,    u"aFlag=StartCli"_s, u"aFlag=UpdateCli"_s,
    u"aFlag=UninstCli"_s, u"aFlag=SetOutFile"_s,
};

} // namespace

AgentCommand decipherCommand(const QByteArray& target, const QByteArray& codePage) {
    AgentCommand command;
    if (!target.startsWith('/'))
        return command;
    const QByteArray plain = En(target.mid(1), QByteArray(commandKey), false);
    command.lines = splitLines(fromCodePage(plain, codePage));
    command.known = !command.lines.isEmpty() && knownCommands.contains(command.lines.constFirst());
    return command;
}
