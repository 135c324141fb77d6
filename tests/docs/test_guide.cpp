// The user guides (Russian and English) and the README against what they
// show and describe: every picture they embed is there, both guides show the
// same pictures and no picture lies unused, and every option the program's
// help lists is described in both guides.
#include "UnitClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

const QString Docs = QStringLiteral(PARLOTEL_SOURCE_DIR "/docs");
const QStringList Guides = {QStringLiteral("USER-GUIDE.md"), QStringLiteral("USER-GUIDE.en.md")};

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Pictures a Markdown text embeds from folder ("](folder/name.png)").
QSet<QString> embedded(const QString& text, const QString& folder)
{
    QSet<QString> names;
    const QRegularExpression picture(QStringLiteral("\\]\\(") + QRegularExpression::escape(folder)
                                     + QStringLiteral("/([^)/]+\\.png)\\)"));
    for (const auto& m : picture.globalMatch(text))
        names << m.captured(1);
    return names;
}

QString listed(const QSet<QString>& names)
{
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return sorted.join(u' ');
}

QByteArray programHelp()
{
    TChildProcess program;
    if (!program.Start(QStringLiteral(PARLOTEL_EXE), {QStringLiteral("--help")}))
        return {};
    QByteArray out;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        const QByteArray chunk = program.Read(1000);
        out += chunk;
        if (chunk.isEmpty() && !program.Running())
            break;
    }
    return program.Wait(5000) == 0 ? out : QByteArray();
}

} // namespace

class TestGuide : public QObject {
    Q_OBJECT
private slots:
    void picturesAreThereAndShownInBothGuides()
    {
        const QStringList files = QDir(Docs + QStringLiteral("/images")).entryList({QStringLiteral("*.png")});
        const QSet<QString> present(files.begin(), files.end());
        QVERIFY2(!present.isEmpty(), "docs/images holds no pictures");
        for (const QString& guide : Guides) {
            const QString text = readText(Docs + u'/' + guide);
            QVERIFY2(!text.isEmpty(), qPrintable(guide));
            const QSet<QString> shown = embedded(text, QStringLiteral("images"));
            QVERIFY2(shown == present, qPrintable(QStringLiteral("%1 misses %2; has no file for %3")
                                                      .arg(guide, listed(present - shown), listed(shown - present))));
        }
        const QSet<QString> inReadme = embedded(readText(QStringLiteral(PARLOTEL_SOURCE_DIR "/README.md")),
                                                QStringLiteral("docs/images"));
        QVERIFY2(!inReadme.isEmpty() && (inReadme - present).isEmpty(),
                 qPrintable(QStringLiteral("README: no file for %1").arg(listed(inReadme - present))));
    }

    void everyOptionOfTheHelpIsInBothGuides()
    {
        const QByteArray help = programHelp();
        QVERIFY2(help.contains("--help"), help.constData());
        static const QRegularExpression option(QStringLiteral("^\\s+(?:-\\w, )?(--[a-z][a-z0-9-]*)"),
                                               QRegularExpression::MultilineOption);
        QSet<QString> options;
        for (const auto& m : option.globalMatch(QString::fromLocal8Bit(help)))
            options << m.captured(1);
        QVERIFY2(options.size() > 2, help.constData());
        for (const QString& guide : Guides) {
            const QString text = readText(Docs + u'/' + guide);
            QSet<QString> missing;
            for (const QString& name : options)
                if (!text.contains(QRegularExpression(QRegularExpression::escape(name) + QStringLiteral("(?![a-z0-9-])"))))
                    missing << name;
            QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("%1 does not describe %2").arg(guide, listed(missing))));
        }
    }
};

QTEST_GUILESS_MAIN(TestGuide)
#include "test_guide.moc"
