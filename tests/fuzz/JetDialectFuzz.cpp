// The Jet translator and the second-statement check: translating is idempotent, leaves a
// string literal or quoted identifier as it is and text without the rewritten words alone; a
// statement after a plain first one is always seen, and none is seen without a ";".

#include "FuzzCheck.h"
#include "JetDialect.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString quoted(const QString& text, QChar quote) {
    QString inner = text;
    inner.replace(quote, QString(2, quote));
    return quote + inner + quote;
}

void checkTranslation(const QString& text, DbBackend backend) {
    const QString translated = translateJetStatement(text, backend);
    require(translateJetStatement(translated, backend) == translated, "translating is idempotent");
    for (const QChar quote : {QChar(u'\''), QChar(u'"')}) {
        const QString literal = quoted(text, quote);
        require(translateJetStatement(literal, backend) == literal, "literals stay as they are");
    }
    const bool rewritable =
        text.contains(u"delete", Qt::CaseInsensitive) ||
        (backend == DbBackend::SQLite && text.contains(u"group", Qt::CaseInsensitive));
    if (!rewritable)
        require(translated == text, "text without rewritten words stays as it is");
    if (backend == DbBackend::PostgreSQL)
        require(translated.size() <= text.size(), "PostgreSQL text only loses the '*'");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QString text = textOf(data, size);
    checkTranslation(text, DbBackend::SQLite);
    checkTranslation(text, DbBackend::PostgreSQL);

    if (holdsSecondStatement(text))
        require(text.contains(u';'), "a second statement needs a ';'");
    if (!text.trimmed().isEmpty())
        require(holdsSecondStatement(u"select 1;"_s + text),
                "a statement after a plain first one is seen");
    require(!holdsSecondStatement(quoted(text, u'\'') + u";"_s),
            "a ';' inside a literal is no statement break");
    return 0;
}
