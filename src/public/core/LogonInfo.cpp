#include "LogonInfo.h"

TLogonInfo* LogonInfo = nullptr;
