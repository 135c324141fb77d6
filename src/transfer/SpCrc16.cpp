#include "SpCrc16.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> makeTable()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        table[i] = uint16_t(crc);
    }
    return table;
}

constexpr std::array<uint16_t, 256> crcTable = makeTable();

} // namespace

uint16_t spCrc16Byte(uint16_t crc, uint8_t byte)
{
    return uint16_t(crcTable[((crc >> 8) ^ byte) & 0xFF] ^ (crc << 8));
}

uint16_t spCrc16(uint16_t crc, const uint8_t* data, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        crc = spCrc16Byte(crc, data[i]);
    return crc;
}
