// The Win32 half of CodePage.h: MultiByteToWideChar and WideCharToMultiByte
// with code page 1251.
#include "CodePage.h"

#include <windows.h>

namespace {

constexpr UINT Cp1251 = 1251;
constexpr unsigned char Unassigned = 0x98;

} // namespace

QString FromCp1251(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    // One UTF-16 unit per byte in a single-byte code page.
    QString text(bytes.size(), Qt::Uninitialized);
    const int n = ::MultiByteToWideChar(Cp1251, 0, bytes.constData(), int(bytes.size()),
                                        reinterpret_cast<wchar_t*>(text.data()), int(text.size()));
    text.truncate(n);
    // Windows maps the unassigned byte to the C1 control U+0098; the reading
    // is the same on every platform.
    for (qsizetype i = 0; i < text.size() && i < bytes.size(); ++i)
        if (uchar(bytes.at(i)) == Unassigned)
            text[i] = QChar::ReplacementCharacter;
    return text;
}

QByteArray ToCp1251(const QString& text)
{
    if (text.isEmpty())
        return {};
    // A character beyond 16 bits is one '?', as on Linux, not one per half of
    // its surrogate pair.
    QString units;
    units.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        units += text.at(i).isSurrogate() ? QChar(u'?') : text.at(i);
    }
    // No best fit: a letter the code page lacks becomes '?', never a look-alike.
    const auto* wide = reinterpret_cast<const wchar_t*>(units.utf16());
    const int size = ::WideCharToMultiByte(Cp1251, WC_NO_BEST_FIT_CHARS, wide, int(units.size()),
                                           nullptr, 0, "?", nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    ::WideCharToMultiByte(Cp1251, WC_NO_BEST_FIT_CHARS, wide, int(units.size()), bytes.data(), size,
                          "?", nullptr);
    return bytes;
}
