#include "TerminalProgress.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 ShowEveryMs = 100;
}

TerminalProgress::TerminalProgress(QString label, std::FILE* stream)
    : m_label(std::move(label)), m_stream(stream), m_enabled(isatty(fileno(stream)) != 0) {}

TerminalProgress::~TerminalProgress() {
    if (m_shown)
        std::fputc('\n', m_stream);
}

void TerminalProgress::update(qint64 done, qint64 total) {
    if (!m_enabled || (m_shown && done < total && m_sinceShown.elapsed() < ShowEveryMs))
        return;
    // "\r" returns to the start of the line; the trailing blanks clear a longer previous text.
    std::fprintf(m_stream, "\r%s   ", line(m_label, done, total).toLocal8Bit().constData());
    std::fflush(m_stream);
    m_shown = true;
    m_sinceShown.start();
}

void TerminalProgress::clear() {
    if (!m_shown)
        return;
    std::fputs("\r\033[K", m_stream); // back to the start, erase to the end of the line
    std::fflush(m_stream);
    m_shown = false;
}

QString TerminalProgress::line(const QString& label, qint64 done, qint64 total) {
    const qint64 percent = total > 0 ? done * 100 / total : 100;
    return label + u": "_s + QString::number(done) + u'/' + QString::number(total) + u" ("_s +
           QString::number(percent) + u"%)"_s;
}
