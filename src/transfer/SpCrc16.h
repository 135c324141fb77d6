#pragma once
// The 16-bit block check of the file transfer: polynomial 0x1021, initial value
// 0, not reflected, no final XOR (CRC-16/XMODEM), by a 256-entry table.

#include <cstddef>
#include <cstdint>

// Continues crc over n bytes; start with 0.
uint16_t spCrc16(uint16_t crc, const uint8_t* data, size_t n);

// One byte at a time, for checks computed while the bytes arrive.
uint16_t spCrc16Byte(uint16_t crc, uint8_t byte);
