// The Qt codec half of CodePage.h. Qt's codec (ICU) reads 0x98 as the C1
// control U+0098 and writes what the code page lacks as SUB (0x1A), which the
// unit would take for a control character: the codec fills two tables once,
// and the conversions keep to CodePage.h's rules.
#include "CodePage.h"

#include <QStringDecoder>

#include <array>

namespace {

constexpr uchar Unassigned = 0x98;

struct TTables {
    std::array<char16_t, 256> Letters{};
    std::array<uchar, 65536> Bytes{}; // 0: none (NUL is 0 anyway)

    TTables()
    {
        QStringDecoder decoder("windows-1251");
        for (int byte = 0; byte < 256; ++byte) {
            const QString text = decoder.decode(QByteArray(1, char(byte)));
            const char16_t letter = byte == Unassigned || text.size() != 1 ? char16_t(QChar::ReplacementCharacter)
                                                                            : char16_t(text.at(0).unicode());
            Letters[byte] = letter;
            if (letter != QChar::ReplacementCharacter)
                Bytes[letter] = uchar(byte);
        }
    }
};

const TTables& Tables()
{
    static const TTables tables;
    return tables;
}

} // namespace

QString FromCp1251(const QByteArray& bytes)
{
    const TTables& tables = Tables();
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(tables.Letters[uchar(bytes[i])]);
    return text;
}

QByteArray ToCp1251(const QString& text)
{
    const TTables& tables = Tables();
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A letter beyond the 16-bit range is one letter, so one '?'.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const uchar byte = tables.Bytes[c.unicode()];
        bytes += byte || c.unicode() == 0 ? char(byte) : '?';
    }
    return bytes;
}
