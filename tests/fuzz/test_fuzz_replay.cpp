// Replays every kept fuzz input through its target: the seed corpora (valid
// exchanges, which must keep running clean) and the inputs that once found a
// fault (regressions), so a fault the fuzzer found cannot come back unseen.
// A fault aborts the run; Qt Test names the input that caused it.
#include "FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

const char* const TargetNames[] = {"ymodem", "line", "replies", "watcher", "telnet"};

QStringList inputsOf(const QString& folder)
{
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

} // namespace

class TestFuzzReplay : public QObject {
    Q_OBJECT
private slots:
    void everyTargetHasSeeds();
    void replay_data();
    void replay();
};

void TestFuzzReplay::everyTargetHasSeeds()
{
    for (const char* target : TargetNames) {
        QVERIFY2(Fuzz::FindTarget(target), target);
        QVERIFY2(!inputsOf(QStringLiteral(PARLOTEL_FUZZ_DATA "/corpus/") + target).isEmpty(), target);
    }
}

void TestFuzzReplay::replay_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const char* target : TargetNames)
        for (const char* kind : {"corpus", "regressions"}) {
            const QString folder = QStringLiteral(PARLOTEL_FUZZ_DATA "/%1/%2").arg(kind, target);
            for (const QString& path : inputsOf(folder))
                QTest::newRow(qPrintable(QStringLiteral("%1/%2/%3").arg(kind, target, QFileInfo(path).fileName())))
                    << QString::fromLatin1(target) << path;
        }
}

void TestFuzzReplay::replay()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll();
    Fuzz::FindTarget(qPrintable(target))(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
}

QTEST_MAIN(TestFuzzReplay)
#include "test_fuzz_replay.moc"
