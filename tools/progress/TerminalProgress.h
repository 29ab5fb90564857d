#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

// Progress of long command-line work: one line on standard error, rewritten in place at most
// ten times a second and ended with a line break. Silent when standard error is no terminal
// (a log file, a pipe, a test), so that output meant for programs stays clean.
class TerminalProgress {
public:
    explicit TerminalProgress(QString label, std::FILE* stream = stderr);
    ~TerminalProgress(); // ends the line when something was shown
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void update(qint64 done, qint64 total);
    // Erases the line shown, before other output to the same terminal.
    void clear();

    // The line shown: "label: done/total (percent%)".
    static QString line(const QString& label, qint64 done, qint64 total);

private:
    QString m_label;
    std::FILE* m_stream;
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_sinceShown;
};
