#include "ModalHook.h"

#include <QDialog>

namespace {
ModalHandler& currentHandler() {
    static ModalHandler handler;
    return handler;
}
} // namespace

void setModalHandler(ModalHandler handler) {
    currentHandler() = std::move(handler);
}

int execModal(QDialog& dialog) {
    // Copy: the handler may replace itself while it runs.
    const ModalHandler handler = currentHandler();
    if (!handler)
        return dialog.exec();
    dialog.show();
    const int result = handler(dialog);
    dialog.hide();
    return result;
}
