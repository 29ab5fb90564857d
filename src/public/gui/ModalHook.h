#pragma once

#include <functional>

class QDialog;

// Every modal dialog of the module (message boxes and input queries included) is shown
// through execModal. Without a handler it is QDialog::exec(). With one, as tests set it, the
// dialog is shown non-modally and the handler answers for the person: it may fill fields and
// click buttons, and returns the result exec() would have returned (for a QMessageBox the
// QMessageBox::StandardButton pressed, otherwise a QDialog::DialogCode).
using ModalHandler = std::function<int(QDialog&)>;

void setModalHandler(ModalHandler handler); // an empty handler restores exec()
int execModal(QDialog& dialog);
