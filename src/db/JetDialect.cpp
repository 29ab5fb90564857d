#include "JetDialect.h"

#include <QRegularExpression>

namespace {

// Index of the character that closes the literal opened at `open`; a doubled quote inside
// the literal stands for the quote itself. Returns the text's length when the literal is open.
qsizetype literalEnd(const QString& text, qsizetype open) {
    const QChar quote = text.at(open);
    qsizetype i = open + 1;
    while (i < text.size()) {
        if (text.at(i) == quote) {
            if (i + 1 < text.size() && text.at(i + 1) == quote) {
                i += 2;
                continue;
            }
            return i;
        }
        ++i;
    }
    return text.size();
}

qsizetype nextQuote(const QString& text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\'' || c == u'"') {
            return i;
        }
    }
    return text.size();
}

QString rewriteCode(QString code, DbBackend backend) {
    static const QRegularExpression deleteStar(QStringLiteral(R"(\bdelete\s+\*\s*from\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    // SQLite refuses GROUP after a qualifier; PostgreSQL accepts any keyword there.
    static const QRegularExpression qualifiedGroup(QStringLiteral(R"(\b(\w+)\.(group)\b)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    code.replace(deleteStar, QStringLiteral("delete from"));
    if (backend == DbBackend::SQLite) {
        code.replace(qualifiedGroup, QStringLiteral(R"(\1."\2")"));
    }
    return code;
}

} // namespace

QString translateJetStatement(const QString& statement, DbBackend backend) {
    QString result;
    result.reserve(statement.size() + 8);
    qsizetype pos = 0;
    while (pos < statement.size()) {
        const qsizetype quote = nextQuote(statement, pos);
        result += rewriteCode(statement.mid(pos, quote - pos), backend);
        if (quote >= statement.size()) {
            break;
        }
        const qsizetype end = literalEnd(statement, quote);
        result += statement.mid(quote, end - quote + 1);
        pos = end + 1;
    }
    return result;
}

bool holdsSecondStatement(const QString& text) {
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == u'\'' || c == u'"') {
            i = text.indexOf(c, i + 1);
        } else if (c == u'-' && text.mid(i, 2) == u"--") {
            i = text.indexOf(u'\n', i);
        } else if (c == u'/' && text.mid(i, 2) == u"/*") {
            i = text.indexOf(u"*/", i + 2);
            i = i < 0 ? i : i + 1;
        } else if (c == u';') {
            return !text.mid(i + 1).trimmed().isEmpty();
        }
        if (i < 0)
            return false; // an open quote or comment: the server refuses the whole text
    }
    return false;
}
