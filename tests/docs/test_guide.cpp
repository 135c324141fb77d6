// The user guides (Russian and English) and the README against what they
// show and describe: every picture they embed is there, both guides show the
// same pictures and no picture lies unused, and every option the program's
// help lists is described in both guides. And the sources against the
// layout they promise: platform code only in platform files.
#include "UnitClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <algorithm>

using namespace TestSupport;

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

// Headers of the operating system's own interfaces (wildcards, any case), as
// included with <>: a source that includes one is platform code. Standard C
// and C++ headers are not, except <csignal>, which is the signal API.
const QStringList SystemHeaders = {
    // POSIX and Linux
    QStringLiteral("unistd.h"), QStringLiteral("fcntl.h"), QStringLiteral("termios.h"),
    QStringLiteral("termio.h"), QStringLiteral("poll.h"), QStringLiteral("signal.h"),
    QStringLiteral("csignal"), QStringLiteral("spawn.h"), QStringLiteral("pty.h"),
    QStringLiteral("pthread.h"), QStringLiteral("sched.h"), QStringLiteral("semaphore.h"),
    QStringLiteral("netdb.h"), QStringLiteral("ifaddrs.h"), QStringLiteral("dirent.h"),
    QStringLiteral("dlfcn.h"), QStringLiteral("pwd.h"), QStringLiteral("grp.h"),
    QStringLiteral("syslog.h"), QStringLiteral("utmp.h"), QStringLiteral("libgen.h"),
    QStringLiteral("sys/*"), QStringLiteral("netinet/*"), QStringLiteral("arpa/*"),
    QStringLiteral("net/*"), QStringLiteral("linux/*"), QStringLiteral("asm/*"),
    QStringLiteral("bits/*"),
    // Windows
    QStringLiteral("win*.h"), QStringLiteral("ws2*.h"), QStringLiteral("mswsock.h"),
    QStringLiteral("iphlpapi.h"), QStringLiteral("io.h"), QStringLiteral("process.h"),
    QStringLiteral("conio.h"), QStringLiteral("direct.h"), QStringLiteral("setupapi.h"),
    QStringLiteral("devguid.h"), QStringLiteral("ntddser.h"), QStringLiteral("shlobj.h"),
    QStringLiteral("*api.h"), QStringLiteral("ioapiset.h"), QStringLiteral("afunix.h"),
};

bool isSystemHeader(const QString& name)
{
    static const QList<QRegularExpression> patterns = [] {
        QList<QRegularExpression> all;
        for (const QString& header : SystemHeaders)
            all << QRegularExpression(QRegularExpression::wildcardToRegularExpression(header),
                                      QRegularExpression::CaseInsensitiveOption);
        return all;
    }();
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const QRegularExpression& p) { return p.match(name).hasMatch(); });
}

// The system headers a source includes.
QStringList systemIncludes(const QString& path)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*<([^>]+)>"),
                                            QRegularExpression::MultilineOption);
    QStringList found;
    for (const auto& m : include.globalMatch(readText(path)))
        if (isSystemHeader(m.captured(1)))
            found << m.captured(1);
    return found;
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

    // The system is called only behind the seams: a source that includes a
    // system header is a platform file, named *Posix.cpp or *Win32.cpp.
    void systemHeadersOnlyInPlatformFiles()
    {
        static const QRegularExpression platformFile(QStringLiteral("(Posix|Win32)\\.cpp$"));
        const QString src = QStringLiteral(PARLOTEL_SOURCE_DIR "/src/");
        QStringList outside;
        int platformFiles = 0;
        QDirIterator it(src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QStringList headers = systemIncludes(path);
            if (headers.isEmpty())
                continue;
            if (platformFile.match(path).hasMatch())
                ++platformFiles;
            else
                outside << QStringLiteral("%1 (%2)").arg(path.mid(src.size()), headers.join(QStringLiteral(", ")));
        }
        outside.sort();
        QVERIFY2(outside.isEmpty(), qPrintable(QStringLiteral("system headers outside platform files: ")
                                                + outside.join(QStringLiteral("; "))));
        // The scan itself sees the platform files' own includes.
        QVERIFY2(platformFiles > 0, "no platform file includes a system header: the scan finds nothing");
    }
};

QTEST_GUILESS_MAIN(TestGuide)
#include "test_guide.moc"
