// The Japanese catalogue against the code's texts and against its expected entries.
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

using Key = QPair<QString, QString>; // context, source text

struct Entry
{
    QString translation;
    bool finished = false;
    bool addition = false;
};

const QLatin1String AdditionMark("addition");

// Reads a Linguist source: every message with its translation and whether it counts.
QHash<Key, Entry> readTs(const QString &path, QString *error)
{
    QHash<Key, Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return entries;
    }
    QXmlStreamReader xml(&file);
    QString context, source, comment;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
            comment.clear();
        } else if (xml.name() == QLatin1String("translatorcomment")) {
            comment = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            Entry entry;
            entry.finished = xml.attributes().value("type").isEmpty();
            entry.addition = comment == AdditionMark;
            entry.translation = xml.readElementText();
            entries.insert({context, source}, entry);
        }
    }
    if (xml.hasError())
        *error = xml.errorString();
    return entries;
}

// The expected catalogue: each line context, source and Japanese text, separated by tabs, and
// the addition mark where there is one.
QHash<Key, Entry> readExpected()
{
    QHash<Key, Entry> expected;
    QFile file(QStringLiteral(EXPECTED_CATALOGUE));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read the expected catalogue");
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 3 || fields.size() > 4
            || (fields.size() == 4 && fields[3] != AdditionMark))
            qFatal("bad line in the expected catalogue: %s", qPrintable(line));
        Entry entry;
        entry.translation = fields[2];
        entry.addition = fields.size() == 4;
        expected.insert({fields[0], fields[1]}, entry);
    }
    return expected;
}

QString describe(const Key &key)
{
    return key.first + QStringLiteral(": \"") + key.second + QLatin1Char('"');
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sourceHoldsEveryTextOfTheCode();
    void translationsAreExactlyTheExpectedOnes();
    void compiledCatalogueTranslates();

private:
    QHash<Key, Entry> mSource;
    QHash<Key, Entry> mExpected;
};

void TestCatalogue::initTestCase()
{
    QString error;
    mSource = readTs(QStringLiteral(CATALOGUE_SOURCE), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!mSource.isEmpty());
    mExpected = readExpected();
}

void TestCatalogue::sourceHoldsEveryTextOfTheCode()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString scanned = dir.filePath("scanned.ts");
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(SOURCE_DIR));
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList dirs = QStringLiteral(TRANSLATED_DIRS).split(QLatin1Char(','));
    lupdate.start(QStringLiteral(LUPDATE),
                  QStringList{"-silent", "-no-obsolete", "-locations", "none"} + dirs
                          + QStringList{"-ts", scanned});
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAll().constData());

    QString error;
    const QHash<Key, Entry> code = readTs(scanned, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList missing, stale;
    for (auto it = code.cbegin(); it != code.cend(); ++it) {
        if (!mSource.contains(it.key()))
            missing << describe(it.key());
    }
    for (auto it = mSource.cbegin(); it != mSource.cend(); ++it) {
        if (!code.contains(it.key()))
            stale << describe(it.key());
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable("texts missing from the catalogue (build velqor_lupdate):\n"
                        + missing.join('\n')));
    QVERIFY2(stale.isEmpty(),
             qPrintable("catalogue texts the code no longer has:\n" + stale.join('\n')));
}

void TestCatalogue::translationsAreExactlyTheExpectedOnes()
{
    QStringList wrong;
    for (auto it = mSource.cbegin(); it != mSource.cend(); ++it) {
        const Entry expected = mExpected.value(it.key());
        const QString given = it->finished ? it->translation : QString();
        if (given != expected.translation)
            wrong << describe(it.key()) + QStringLiteral(" gives \"") + given
                             + QStringLiteral("\", expected \"") + expected.translation
                             + QLatin1Char('"');
        if (it->addition != expected.addition)
            wrong << describe(it.key())
                             + (expected.addition ? QStringLiteral(" lacks")
                                                  : QStringLiteral(" has"))
                             + QStringLiteral(" the addition mark");
    }
    for (auto it = mExpected.cbegin(); it != mExpected.cend(); ++it) {
        if (!mSource.contains(it.key()))
            wrong << describe(it.key()) + QStringLiteral(" is not in the catalogue");
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

void TestCatalogue::compiledCatalogueTranslates()
{
    Q_INIT_RESOURCE(velqor_translations);
    QTranslator catalogue;
    QVERIFY(catalogue.load(QStringLiteral(":/translations/Japanese.qm")));
    QStringList wrong;
    for (auto it = mExpected.cbegin(); it != mExpected.cend(); ++it) {
        const QByteArray context = it.key().first.toUtf8();
        const QByteArray source = it.key().second.toUtf8();
        // An entry without a translation is looked up as empty and shows its source text.
        const QString shown = catalogue.translate(context, source);
        if (shown != it->translation)
            wrong << describe(it.key()) + QStringLiteral(" shows \"") + shown + QLatin1Char('"');
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
