#pragma once

#include "AesEngine.h"

// The implementation on the processor's AES instructions (AES-NI).
namespace kvz::aes::hardware {

// True when the processor has the AES instructions and this build can use them.
bool supported();

// The AES-NI engine; call only when supported() is true.
const AesEngine& engine();

} // namespace kvz::aes::hardware
