#pragma once

#include <QStringList>

class QWidget;

// The controls of form the keyboard cannot reach, or that a screen reader would announce
// without a name (Qt's accessible name: their text, their label's, or the one set for them).
QStringList inaccessibleControls(const QWidget& form);

// The steps of form's tab order that go back against the reading order: to a control wholly
// above the one before, or level with it and wholly to its left. "From -> To" by object name.
// The form must be laid out (shown).
QStringList backwardTabSteps(const QWidget& form);
