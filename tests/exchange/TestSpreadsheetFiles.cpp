// Exchange files as LibreOffice Calc saved them (tableur/, made as tableur/LISEZMOI.md says): what
// a French spreadsheet saves gives the database the writer's own files give; French files opened
// in English settings, whose rates became a thousand times larger, are refused where those rates
// lie, and taken only when unusual values are accepted.

#include "FixtureDatabase.h"
#include "ImportSet.h"
#include "core/db/DatabaseEdition.h"
#include "core/exchange/ExperimentExport.h"
#include "core/exchange/ExperimentImport.h"
#include "core/text/CsvReader.h"
#include "core/text/CsvStream.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>

using namespace grelavo;

namespace {

// The writer's set, then the same saved by LibreOffice: from .ods and .xlsx workbooks with the
// numbers read as numbers; opened in French with the decimal points left as text; and the .ods
// files' CSV opened and saved again in English settings.
QString folder(const QString& name) {
    return QDir(QStringLiteral(GRELAVO_SPREADSHEET_FILES)).filePath(name);
}

QHash<QString, QByteArray> exportOf(const QString& database) {
    Connection db(database, DatabaseFile::password());
    QHash<QString, QByteArray> files;
    for (const ExperimentExport::Output& f : ExperimentExport::read(db))
        files.insert(f.name, f.bytes);
    return files;
}

ImportOptions newFrom(const FixtureDatabase& fixture) {
    ImportOptions options;
    options.newDatabase = true;
    options.model = fixture.path();
    return options;
}

// The writer's set imported into a new database made from the fixture's lists.
ImportOutcome importPlain(const FixtureDatabase& fixture, const QString& database) {
    return ExperimentImport::run(database, {folder(QStringLiteral("source"))}, newFrom(fixture));
}

// A file of many blocks whose records hold what a reader must carry from one block to the
// next: quoted fields with doubled quotes, separators and line breaks, every line ending, and
// characters of two and three bytes in UTF-8.
QByteArray manyBlocks(quint32 draw, char separator) {
    QRandomGenerator random(draw);
    const QStringList plain{QStringLiteral("abc"),  QStringLiteral("é"),   QStringLiteral("€uro"),
                            QStringLiteral("  x "), QStringLiteral("'=1"), QString()};
    const QStringList quoted{QStringLiteral("a\"\"b"), QStringLiteral("x,y;z"),
                             QStringLiteral("l1\nl2"), QStringLiteral("l1\r\nl2\rl3"),
                             QStringLiteral("\"\""),   QStringLiteral("é€")};
    const QStringList endings{QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r"),
                              QStringLiteral("\r\n\r\n")};
    QString text = QStringLiteral("a%1b%1c\n").arg(QLatin1Char(separator));
    while (text.size() < 3 * CsvStream::kBlockBytes / 2) {
        for (int f = 0; f < 3; ++f) {
            if (f > 0)
                text += QLatin1Char(separator);
            text += random.bounded(2)
                        ? plain.at(random.bounded(plain.size()))
                        : QLatin1Char('"') + quoted.at(random.bounded(quoted.size())) +
                              QLatin1Char('"');
        }
        text += endings.at(random.bounded(endings.size()));
    }
    return text.toUtf8();
}

// "h,i", then a record whose 'tail' begins on the last byte of the first block.
QByteArray acrossBlocks(const QByteArray& head, const QByteArray& tail) {
    QByteArray bytes = "h,i\n" + head;
    bytes += QByteArray(CsvStream::kBlockBytes - 1 - bytes.size(), 'x');
    return bytes + tail;
}

const QStringList kFiles{"sites.csv",  "traitements.csv", "cultures.csv",    "applications.csv",
                         "stades.csv", "produits.csv",    "evaluations.csv", "edition.csv"};

} // namespace

class TestSpreadsheetFiles : public QObject {
    Q_OBJECT

private slots:
    // The import reads its files a block at a time: what it reads is what a reading of the whole
    // file gives, records, lines, problems and all, wherever the blocks end.
    void filesReadInBlocksGiveWhatWholeFilesGive_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("blocks, commas") << manyBlocks(1, ',');
        QTest::newRow("blocks, semicolons, CR LF and CR") << manyBlocks(2, ';');
        QTest::newRow("blocks, Windows-1252") << manyBlocks(3, ',').replace("\xC3\xA9", "\xE9");
        QTest::newRow("blocks, quote left open") << manyBlocks(4, ',') + "a,\"b\n";
        QTest::newRow("character across blocks") << acrossBlocks("", "\xE2\x82\xAC,1\n2,3\n");
        QTest::newRow("CR LF across blocks") << acrossBlocks("", "\r\n2,3\n");
        QTest::newRow("doubled quote across blocks") << acrossBlocks("\"", "\"\"a\",b\n\"c\"\"");
        QTest::newRow("CR in quotes across blocks") << acrossBlocks("\"", "\r\"\"\",\"\rb\"\n");
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF\"h\",i\n1,2\n");
        QTest::newRow("blank lines") << QByteArray("h;i\n\n ; \n1;2\r\n;\r\n");
        QTest::newRow("tabulations") << QByteArray("h\ti\tj\n1\t2\t3\n");
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFEh\0,\0i\0");
        QTest::newRow("nul far away") << manyBlocks(5, ',') + QByteArray(1, '\0');
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("quote at the very end") << QByteArray("h,i\n\"1\",\"2\"");
    }

    void filesReadInBlocksGiveWhatWholeFilesGive() {
        QFETCH(QByteArray, bytes);
        CsvReader::Table whole;
        int wholeLine = -1;
        const QString wholeProblem = CsvReader::read(bytes, &whole, &wholeLine);

        QBuffer device(&bytes);
        QVERIFY(device.open(QIODevice::ReadOnly));
        CsvStream stream;
        CsvStream::Format format;
        int line = -1;
        QCOMPARE(stream.examine(&device, &format, &line), wholeProblem);
        QVERIFY(!stream.readFailed());
        if (!wholeProblem.isEmpty()) {
            QCOMPARE(line, wholeLine);
            return;
        }
        QCOMPARE(format.headings, whole.headings);
        QCOMPARE(format.separator, whole.separator);
        QCOMPARE(format.utf8, whole.utf8);
        // Read twice, as the import does: the second reading is the same. The stream builds each
        // record in the strings of the ones before: a record kept (as the import keeps keys) is
        // not changed by those read after it.
        QVector<CsvRecord> kept;
        for (int reading = 0; reading < 2; ++reading) {
            stream.start(&device, format);
            int n = 0;
            for (CsvRecord r; stream.next(&r); ++n) {
                QVERIFY2(n < whole.rows.size(), "more records than the whole file");
                QCOMPARE(r.line, whole.rows.at(n).line);
                QCOMPARE(r.fields, whole.rows.at(n).fields);
                if (reading == 1)
                    kept << r;
            }
            QCOMPARE(n, int(whole.rows.size()));
        }
        for (int n = 0; n < kept.size(); ++n)
            QCOMPARE(kept.at(n).fields, whole.rows.at(n).fields);
    }

    // Nothing of a record's fields is carried into the next one, whatever their number.
    void fieldsAreNotCarriedFromRecordToRecord() {
        QByteArray bytes("h,i\nabc,def,ghi,jkl\n1\nx,\"\"\n'=x,y,\n\"q\"\"\",,z\n");
        QBuffer device(&bytes);
        QVERIFY(device.open(QIODevice::ReadOnly));
        CsvStream stream;
        CsvStream::Format format;
        int line = 0;
        QCOMPARE(stream.examine(&device, &format, &line), QString());
        stream.start(&device, format);
        QVector<QStringList> read;
        for (CsvRecord r; stream.next(&r);)
            read << r.fields;
        const QVector<QStringList> expected{
            {"abc", "def", "ghi", "jkl"}, {"1"}, {"x", ""}, {"=x", "y", ""}, {"q\"", "", "z"}};
        QCOMPARE(read, expected);
    }

    // The kept files are what the spreadsheet wrote, not the writer's form: no byte order mark,
    // semicolons, quoted headings, Windows-1252 wherever a file holds an accent, and the rates
    // as each way of opening left them.
    void keptFilesAreWhatTheSpreadsheetSaved_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("nicosulfuron"); // produits.csv, line 9
        QTest::newRow("ods") << "ods"
                             << "\"A5\";\"nicosulfuron\";1;0,025";
        QTest::newRow("xlsx") << "xlsx"
                              << "\"A5\";\"nicosulfuron\";1;0,025";
        QTest::newRow("texte") << "texte"
                               << "\"A5\";\"nicosulfuron\";1;\"0.025\"";
        QTest::newRow("anglais") << "anglais"
                                 << "\"A5\";\"nicosulfuron\";1;25";
    }
    void keptFilesAreWhatTheSpreadsheetSaved() {
        QFETCH(QString, variant);
        QFETCH(QString, nicosulfuron);
        for (const QString& name : kFiles) {
            const QByteArray bytes = fileBytes(QDir(folder(variant)).filePath(name));
            QVERIFY2(!bytes.startsWith("\xEF\xBB\xBF"), qPrintable(name));
            QVERIFY2(bytes.startsWith('"'), qPrintable(name));
            CsvReader::Table table;
            int line = 0;
            QCOMPARE(CsvReader::read(bytes, &table, &line), QString());
            QCOMPARE(table.separator, QChar(QLatin1Char(';')));
            const bool ascii =
                std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
            QVERIFY2(ascii || !table.utf8, qPrintable(name));
        }
        // The edition's name holds characters of Windows-1252 that Latin-1 lacks (the en dash,
        // the œ, the typographic apostrophe); its date is left as written.
        CsvReader::Table edition;
        int line = 0;
        QCOMPARE(CsvReader::read(fileBytes(QDir(folder(variant)).filePath("edition.csv")), &edition,
                                 &line),
                 QString());
        QCOMPARE(edition.rows.value(0).fields,
                 (QStringList{"Démonstration – cœur de l’été", "2024-05-01", "1"}));
        const QList<QByteArray> products =
            fileBytes(QDir(folder(variant)).filePath(QStringLiteral("produits.csv"))).split('\n');
        QCOMPARE(QString::fromLatin1(products.value(8)), nicosulfuron);
    }

    // Each French spreadsheet's files give, row for row, the database the writer's files give,
    // synthetic mark included, with nothing refused and no value taken as unusual.
    void frenchSpreadsheetFilesGiveTheSameDatabase_data() {
        QTest::addColumn<QString>("variant");
        QTest::newRow("ods") << "ods";
        QTest::newRow("xlsx") << "xlsx";
        QTest::newRow("texte") << "texte";
    }
    void frenchSpreadsheetFilesGiveTheSameDatabase() {
        QFETCH(QString, variant);
        const FixtureDatabase fixture;
        QTemporaryDir plainDir, spreadsheetDir;
        const QString plain = plainDir.filePath(DatabaseFile::fileName());
        const ImportOutcome expected = importPlain(fixture, plain);
        QCOMPARE(problemTexts(expected), QStringList());
        QCOMPARE(expected.counts, (ExperimentCounts{2, 7, 7, 8, 8, 11, 13}));

        const QString spreadsheet = spreadsheetDir.filePath(DatabaseFile::fileName());
        const ImportOutcome o =
            ExperimentImport::run(spreadsheet, {folder(variant)}, newFrom(fixture));
        QCOMPARE(problemTexts(o), QStringList());
        QCOMPARE(int(o.status), int(ImportOutcome::Status::Done));
        QCOMPARE(o.counts, expected.counts);
        QCOMPARE(o.acceptedUnusual, QStringList());
        QCOMPARE(exportOf(spreadsheet), exportOf(plain));
        Connection db(spreadsheet, DatabaseFile::password());
        QVERIFY(DatabaseEdition::read(db).synthetic);
    }

    // French files opened in English settings: 0,025 and 1,125 became 25 and 1125 while 0,5 stayed
    // text. Both rates are refused with their line, nothing is made or written; accepted as
    // unusual, each is said and the database differs from the writer's by those two rates only.
    void frenchFilesOpenedInEnglishAreRefusedForTheirRates() {
        const FixtureDatabase fixture;
        const QString english = folder(QStringLiteral("anglais"));
        const QString retry = QStringLiteral("\u00a0; vérifiez l'unité (kg de matière active par "
                                             "hectare), ou importez avec --accepter-inhabituels");
        const QStringList unusual{
            "produits.csv, ligne 9, colonne dose_kg_ma_ha\u00a0: dose inhabituelle de 25 kg "
            "i.a./ha\u00a0: "
            "plus de 20 kg i.a./ha",
            "produits.csv, ligne 12, colonne dose_kg_ma_ha\u00a0: dose inhabituelle de 1125 kg "
            "i.a./ha\u00a0: plus de 20 kg i.a./ha"};

        QTemporaryDir fresh;
        const QString made = fresh.filePath(DatabaseFile::fileName());
        const ImportOutcome refusedNew = ExperimentImport::run(made, {english}, newFrom(fixture));
        QCOMPARE(int(refusedNew.status), int(ImportOutcome::Status::Refused));
        QCOMPARE(problemTexts(refusedNew), (QStringList{unusual[0] + retry, unusual[1] + retry}));
        QCOMPARE(QDir(fresh.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

        // Into a database that exists, made from the edition alone: left byte for byte, no copy
        // kept.
        QTemporaryDir existingDir;
        const QString existing = existingDir.filePath(DatabaseFile::fileName());
        const QString edition = QDir(folder(QStringLiteral("source"))).filePath("edition.csv");
        QCOMPARE(int(ExperimentImport::run(existing, {edition}, newFrom(fixture)).status),
                 int(ImportOutcome::Status::Done));
        const QByteArray before = fileBytes(existing);
        const ImportOutcome refused = ExperimentImport::run(existing, {english}, ImportOptions());
        QCOMPARE(problemTexts(refused), problemTexts(refusedNew));
        QCOMPARE(fileBytes(existing), before);
        QCOMPARE(QDir(existingDir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{DatabaseFile::fileName()});

        ImportOptions accept;
        accept.acceptUnusual = true;
        const ImportOutcome accepted = ExperimentImport::run(existing, {english}, accept);
        QCOMPARE(problemTexts(accepted), QStringList());
        QCOMPARE(int(accepted.status), int(ImportOutcome::Status::Done));
        QCOMPARE(accepted.acceptedUnusual, unusual);

        QTemporaryDir plainDir;
        const QString plain = plainDir.filePath(DatabaseFile::fileName());
        QCOMPARE(int(importPlain(fixture, plain).status), int(ImportOutcome::Status::Done));
        QHash<QString, QByteArray> expected = exportOf(plain);
        QByteArray& products = expected[QStringLiteral("produits.csv")];
        QVERIFY(products.contains("A5,nicosulfuron,1,0.025\r\n"));
        QVERIFY(products.contains("A8,atrazine,1,1.125\r\n"));
        products.replace("A5,nicosulfuron,1,0.025\r\n", "A5,nicosulfuron,1,25\r\n")
            .replace("A8,atrazine,1,1.125\r\n", "A8,atrazine,1,1125\r\n");
        QCOMPARE(exportOf(existing), expected);
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheetFiles)
#include "TestSpreadsheetFiles.moc"
