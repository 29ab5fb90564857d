#include "SqliteFolding.h"

#include "DbError.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <optional>

namespace {

bool isAscii(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
}

// The files hold UTF-8, and SQLite prefers a collation of the file's own encoding, so this one
// takes UTF-8: A to Z fold in place, anything else is compared as folded text.
int foldedCompare(void*, int leftBytes, const void* left, int rightBytes, const void* right) {
    const QByteArrayView a(static_cast<const char*>(left), leftBytes);
    const QByteArrayView b(static_cast<const char*>(right), rightBytes);
    if (isAscii(a) && isAscii(b))
        return a.compare(b, Qt::CaseInsensitive);
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive);
}

QList<uint> foldedCodePoints(sqlite3_value* value) {
    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(value));
    const QStringView view(text, sqlite3_value_bytes16(value) / 2);
    QList<uint> points = view.toUcs4();
    for (uint& point : points)
        point = QChar::toCaseFolded(point);
    return points;
}

// LIKE over folded code points: "%" any run, "_" one character, the escape character makes the
// next one literal. Backtracks to the last "%" only, which is enough for this pattern language.
bool likeMatches(const QList<uint>& pattern, const QList<uint>& text, std::optional<uint> escape) {
    qsizetype p = 0, t = 0, starP = -1, starT = -1;
    while (t < text.size()) {
        if (p < pattern.size()) {
            uint c = pattern[p];
            const bool escaped = escape && c == *escape && p + 1 < pattern.size();
            if (!escaped && c == U'%') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (escaped)
                c = pattern[p + 1];
            if ((!escaped && c == U'_') || c == text[t]) {
                p += escaped ? 2 : 1;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == U'%' && !(escape && *escape == U'%'))
        ++p;
    return p == pattern.size();
}

// like(pattern, text [, escape]), as SQLite calls it for "text LIKE pattern [ESCAPE escape]".
void foldedLike(sqlite3_context* context, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    std::optional<uint> escape;
    if (argc == 3) {
        const QList<uint> escapeText = foldedCodePoints(argv[2]);
        if (escapeText.size() != 1) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = escapeText.first();
    }
    sqlite3_result_int(context,
                       likeMatches(foldedCodePoints(argv[0]), foldedCodePoints(argv[1]), escape));
}

void check(sqlite3* handle, int result) {
    if (result != SQLITE_OK)
        throw DbError(QString::fromUtf8(sqlite3_errmsg(handle)));
}

} // namespace

void installLetterCaseFolding(sqlite3* handle) {
    check(handle, sqlite3_create_collation(handle, "NOCASE", SQLITE_UTF8, nullptr, foldedCompare));
    for (const int arguments : {2, 3}) {
        check(handle, sqlite3_create_function(handle, "like", arguments,
                                              SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr,
                                              foldedLike, nullptr, nullptr));
    }
}
