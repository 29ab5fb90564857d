#pragma once

// The tutorial course panel: links to the tutorial programs in the console's "Tutor" folder,
// a list of featured ("hot") courses that scrolls upwards, and a grid of all courses of one
// category. The course lists come from "Lang/Tutor_chi.ini", "Lang/Tutor_cht.ini" or
// "Lang/Tutor_eng.ini" under the base folder, chosen by "Lang/Lang.ini".

#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QTimer;

// A link label whose target is a program file; reports the mouse and activation (a click, or
// Enter or Space while focused).
class TUrlLabel : public QLabel {
    Q_OBJECT
public:
    TUrlLabel(const QString& caption, const QString& target, QWidget* parent);
    const QString& Target() const { return target_; }

Q_SIGNALS:
    void MouseEntered();
    void MouseLeft();
    void MouseMoved();
    void Clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString target_;
};

class TCourse : public QObject {
    Q_OBJECT
public:
    // Reads the course lists of the language in force under baseFolder; with checkFiles, drops
    // every entry whose tutorial program is missing.
    TCourse(const QString& baseFolder, bool checkFiles, QObject* parent = nullptr);
    // No course entries; the roll timer (1000 ms, running) belongs to the panel.
    TCourse(const QString& baseFolder, QWidget* panel);

    // One link per hot entry in parent, 30 pixels apart from the top 30, then starts rolling.
    void SetHot(QWidget* parent);
    // The links of one category of all entries as a grid of four columns from (left, top);
    // maxCount 0 means all of them. Advances top past the grid and 10 more.
    void SetAll(int left, int& top, QWidget* parent, int maxCount, int category, int rowStep,
                int colStep);

    // Part of the panel's interface; changes nothing (the lists come from the constructor).
    void SetCorList(const QString& folder, QWidget* panel);

    void SetRolled(bool rolled) { rolled_ = rolled; }
    void CorStart();
    void CorStop() { rolling_ = 0; } // the timer stops itself at its next tick
    void CorReSet();
    void CorRoll();
    // The roll timer's tick.
    void RollTimerTimer();

    const QStringList& HotEntries() const { return hot_; }
    const QStringList& AllEntries() const { return all_; }
    const QStringList& ProgramList() const { return programs_; }
    QList<TUrlLabel*> HotLabels() const;
    bool IsRolling() const { return rolling_ == 1; }
    bool TimerActive() const;

private:
    QString programOf(const QString& name) const;
    TUrlLabel* newLink(const QString& entry, QWidget* parent);
    void LinkMouseEnter(TUrlLabel* label);
    void LinkMouseLeave(TUrlLabel* label);
    void LinkClick(const TUrlLabel* label);

    QString base_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> hotParent_;
    QList<QPointer<TUrlLabel>> hotLabels_;
    int rolling_ = 0;
    bool rolled_ = true;
    QPointer<QTimer> timer_;
    QStringList hot_;      // name=display text
    QStringList all_;      // name=display text; the name's first character is the category
    QStringList programs_; // name=program path, for every entry of all_
};
