#include "TMultilanguage.h"

TMultilanguage::TMultilanguage(QObject* owner) : QObject(owner) {}
