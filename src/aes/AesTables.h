#pragma once

#include "AesEngine.h"

#include <cstdint>

// The portable implementation: the 32-bit round-table formulation of AES.
namespace kvz::aes::tables {

// SubWord of the key schedule: the S-box applied to each byte of the word.
std::uint32_t subWord(std::uint32_t word);

// InvMixColumns of one column, used to turn an enciphering schedule into a deciphering one.
std::uint32_t invMixColumn(std::uint32_t word);

const AesEngine& engine();

} // namespace kvz::aes::tables
