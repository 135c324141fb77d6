// The unit's code page both ways, for every byte: the same result whichever
// converter the platform uses (Qt's codec on Linux, the system's code-page
// calls on Windows), so the line, the trace and the export read alike.
#include "support/CodePage.h"

#include <QtTest>

namespace {

// Windows-1251's upper half as the code page defines it; 0x98 has no letter.
const char16_t UpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0 to 0xFF: А to я in order
};

char16_t Expected(int byte)
{
    if (byte < 0x80)
        return char16_t(byte);
    if (byte >= 0xC0)
        return char16_t(0x0410 + (byte - 0xC0));
    return UpperHalf[byte - 0x80];
}

} // namespace

class TestCodePage : public QObject {
    Q_OBJECT
private slots:
    void everyByteBothWays()
    {
        QByteArray all;
        for (int byte = 0; byte < 256; ++byte) {
            const QByteArray one(1, char(byte));
            const QString text = FromCp1251(one);
            QCOMPARE(text.size(), 1);
            QCOMPARE(int(text.at(0).unicode()), int(Expected(byte)));
            // The unassigned byte has nothing to go back to.
            QCOMPARE(ToCp1251(text), byte == 0x98 ? QByteArray("?") : one);
            all += one;
        }
        // A whole line converts as its bytes do one by one, NUL included.
        const QString text = FromCp1251(all);
        QCOMPARE(text.size(), 256);
        QByteArray back = all;
        back[0x98] = '?';
        QCOMPARE(ToCp1251(text), back);
    }

    void textTheCodePageLacks()
    {
        // No look-alikes: a letter outside the code page is a question mark.
        QCOMPARE(ToCp1251(QStringLiteral("Ä中€")), QByteArray("??\x88"));
        QCOMPARE(ToCp1251(QStringLiteral("a😀b")), QByteArray("a?b")); // one letter, one mark
        QCOMPARE(ToCp1251(QStringLiteral("Привет, мир")), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"));
        QCOMPARE(ToCp1251(QString()), QByteArray());
        QCOMPARE(FromCp1251(QByteArray()), QString());
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "test_codepage.moc"
