#include "TraceStream.h"
#include "CodePage.h"

#include "transfer/SpCrc16.h"

#include <QByteArrayList>

namespace {

constexpr uint8_t Soh = 0x01; // a block of 128 data bytes
constexpr uint8_t Stx = 0x02; // a block of 1024 data bytes
constexpr uint8_t Eot = 0x04; // the end of a file
constexpr int HeadSize = 3;   // start byte, number, its complement
constexpr int CrcSize = 2;

const char* const ControlNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
                                      "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

int DataSize(uint8_t start)
{
    return start == Stx ? 1024 : 128;
}

// Block 0 carries the file's name and size, or nothing at the end of a batch.
QString HeaderText(const QByteArray& data)
{
    const qsizetype end = data.indexOf('\0');
    const QByteArray name = data.left(end);
    if (name.isEmpty())
        return QStringLiteral(", end of batch");
    const QByteArray rest = end < 0 ? QByteArray() : data.mid(end + 1);
    const QByteArray size = rest.left(rest.indexOf('\0')).split(' ').constFirst();
    QString text = QStringLiteral(", file \"") + FromCp1251(name) + QLatin1Char('"');
    if (!size.isEmpty())
        text += QStringLiteral(", size ") + QString::fromLatin1(size);
    return text;
}

} // namespace

QString TTraceStream::ByteText(uint8_t byte)
{
    if (byte < 32)
        return QStringLiteral("<%1>").arg(QLatin1String(ControlNames[byte]));
    if (byte == 0x7F)
        return QStringLiteral("<DEL>");
    if (byte < 0x80)
        return QString(QLatin1Char(char(byte)));
    const QString text = FromCp1251(QByteArray(1, char(byte)));
    // 0x98 has no letter in Windows-1251.
    if (text.isEmpty() || text.at(0) == QChar::ReplacementCharacter)
        return QStringLiteral("<0x%1>").arg(byte, 2, 16, QLatin1Char('0'));
    return text;
}

std::vector<TTraceStream::TPiece> TTraceStream::Feed(const QByteArray& bytes)
{
    std::vector<TPiece> out;
    for (char c : bytes)
        FeedByte(uint8_t(c), out);
    return out;
}

std::vector<TTraceStream::TPiece> TTraceStream::FeedSecret(const QByteArray& bytes)
{
    std::vector<TPiece> out;
    AddText(out, QString(bytes.size(), QLatin1Char('*')));
    return out;
}

std::vector<TTraceStream::TPiece> TTraceStream::Finish()
{
    std::vector<TPiece> out;
    if (!m_block.isEmpty())
        out.push_back({true, Summary()});
    m_block.clear();
    return out;
}

void TTraceStream::AddText(std::vector<TPiece>& out, const QString& text)
{
    if (out.empty() || out.back().Block)
        out.push_back({false, {}});
    out.back().Text += text;
}

void TTraceStream::FeedByte(uint8_t byte, std::vector<TPiece>& out)
{
    if (!m_block.isEmpty()) {
        m_block += char(byte);
        // Number and complement must agree, else it was no block after all.
        if (m_block.size() == HeadSize && uint8_t(m_block[1]) != uint8_t(~uint8_t(m_block[2]))) {
            const QByteArray bytes = m_block;
            m_block.clear();
            for (char c : bytes)
                AddText(out, ByteText(uint8_t(c)));
            return;
        }
        if (m_block.size() == HeadSize + DataSize(uint8_t(m_block[0])) + CrcSize)
            EndBlock(out);
        return;
    }
    if (!m_echo.isEmpty()) {
        const bool echoed = uint8_t(m_echo[0]) == byte;
        m_echo.remove(0, echoed ? 1 : m_echo.size());
        if (echoed) {
            AddText(out, QStringLiteral("*"));
            return;
        }
    }
    // A password's value in a reply: stars from after its "=" to its CR.
    if (m_value == vMasked) {
        if (byte != '\r') {
            AddText(out, QStringLiteral("*"));
            return;
        }
        m_value = vNone;
    } else if (m_value == vAwaited && byte == '=') {
        m_value = vMasked;
    }
    if (byte == Soh || byte == Stx) {
        m_block = QByteArray(1, char(byte));
        return;
    }
    if (byte == Eot)
        m_headerNext = true;
    AddText(out, ByteText(byte));
}

void TTraceStream::EndBlock(std::vector<TPiece>& out)
{
    out.push_back({true, Summary()});
    // Block 0 of a later file follows the end of the one before; the 0 that
    // numbering wraps to does not.
    m_headerNext = false;
    m_block.clear();
}

QString TTraceStream::Summary() const
{
    const int size = DataSize(uint8_t(m_block[0]));
    const int number = m_block.size() > 1 ? uint8_t(m_block[1]) : -1;
    QString text = QStringLiteral("YMODEM block %1, %2 bytes").arg(number).arg(size);
    if (m_block.size() < HeadSize + size + CrcSize)
        return text + QStringLiteral(", cut short after %1 bytes").arg(m_block.size());
    const QByteArray data = m_block.mid(HeadSize, size);
    const uint16_t crc = spCrc16(0, reinterpret_cast<const uint8_t*>(data.constData()), size_t(size));
    const uint16_t sent = uint16_t(uint8_t(m_block[HeadSize + size]) << 8 | uint8_t(m_block[HeadSize + size + 1]));
    text += crc == sent ? QStringLiteral(", CRC ok") : QStringLiteral(", CRC bad");
    if (number == 0 && m_headerNext)
        text += HeaderText(data);
    return text;
}
