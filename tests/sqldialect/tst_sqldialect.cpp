// Every SQL text the program's own code sent while the suite ran (written to
// QUILLOR_SQL_TRACE by the test support, with the place in the source that
// sent it), checked for what SQLite takes and SQL Server does not: the same
// queries must run on the stand-in and on a real server. The stand-in server's
// own SQL (src/embedded) and the tests' fixtures are not the program's and are
// left out.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Rule {
    const char *name;
    QRegularExpression pattern;
    const char *why;
};

QRegularExpression re(const char *pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern), QRegularExpression::CaseInsensitiveOption);
}

const QList<Rule> &rules()
{
    static const QList<Rule> list = {
        {"LIMIT", re("\\bLIMIT\\b"), "SQL Server takes the first rows with TOP"},
        {"||", re("\\|\\|"), "SQL Server joins texts with +"},
        {"IFNULL", re("\\bIFNULL\\s*\\("), "SQL Server has ISNULL and COALESCE"},
        {"GLOB", re("\\bGLOB\\b"), "SQL Server has LIKE only"},
        {"double quotes", re("\""), "a text in SQLite, a name on SQL Server: texts go in '...', names in [...]"},
        {"back quotes", re("`"), "names go in [...]"},
        {"date function", re("\\b(date|time|datetime|julianday|strftime|unixepoch)\\s*\\("),
         "SQLite's date functions; SQL Server has GETDATE, DATEADD, CONVERT"},
        {"SQLite function",
         re("\\b(substr|length|instr|trim|group_concat|printf|typeof|hex|randomblob|changes|total_changes|"
            "last_insert_rowid)\\s*\\("),
         "SQL Server names these SUBSTRING, LEN, CHARINDEX, LTRIM/RTRIM, or has none"},
        {"SQLite name", re("\\b(rowid|sqlite_\\w+|PRAGMA|AUTOINCREMENT)\\b"), "SQLite's own"},
        {"COLLATE NOCASE", re("\\bCOLLATE\\s+NOCASE\\b"), "the server's collation already ignores case"},
        {"conflict clause", re("\\b(INSERT|REPLACE)\\s+OR\\b|\\bREPLACE\\s+INTO\\b|\\bON\\s+CONFLICT\\b"),
         "SQL Server has no conflict clauses"},
        {"==", re("=="), "SQL Server compares with ="},
        {"TRUE/FALSE", re("\\b(TRUE|FALSE)\\b"), "SQL Server has no truth literals: compare with 1 and 0"},
    };
    return list;
}

// The text with what is inside its '...' literals and [...] names blanked out,
// so that "'a || b'" or "[Limit]" is not taken for SQL.
QString codeOnly(const QString &sql)
{
    QString out = sql;
    QChar closing;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        if (closing.isNull()) {
            if (c == u'\'')
                closing = u'\'';
            else if (c == u'[')
                closing = u']';
            continue;
        }
        if (c == closing) {
            // A doubled quote or bracket stands for itself inside.
            if (i + 1 < out.size() && out[i + 1] == closing) {
                out[i] = out[i + 1] = u' ';
                ++i;
            } else {
                closing = QChar();
            }
            continue;
        }
        out[i] = u' ';
    }
    return out;
}

QStringList offences(const QString &sql)
{
    const QString code = codeOnly(sql);
    QStringList found;
    for (const Rule &rule : rules()) {
        if (rule.pattern.match(code).hasMatch())
            found << QString::fromLatin1(rule.name);
    }
    return found;
}

QString why(const QString &name)
{
    for (const Rule &rule : rules()) {
        if (name == QLatin1String(rule.name))
            return QString::fromLatin1(rule.why);
    }
    return {};
}

} // namespace

class TestSqlDialect : public QObject {
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
    void programStatements();
};

void TestSqlDialect::rules_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("TOP and ORDER BY") << "SELECT TOP 1 * FROM vw_CallHandler WHERE Alias = ? ORDER BY TextName" << none;
    QTest::newRow("LIKE with ESCAPE") << "SELECT * FROM t WHERE Name LIKE ? ESCAPE '\\'" << none;
    QTest::newRow("constructs inside literals and names")
        << "SELECT 'a || b', [Limit], 'LIMIT 1', [x]]||y] FROM t WHERE x = 'it''s \"quoted\" == TRUE'" << none;
    QTest::newRow("words that begin like functions") << "SELECT TimeExpires, DateCreated, LengthOfTime FROM t" << none;
    QTest::newRow("SQL Server's own") << "SELECT ISNULL(a, 0), COALESCE(b, ''), a + b, LEN(c), GETDATE() FROM t" << none;
    QTest::newRow("LIMIT") << "SELECT * FROM t LIMIT 1" << QStringList{"LIMIT"};
    QTest::newRow("|| after a doubled quote") << "SELECT 'it''s' || Alias FROM t" << QStringList{"||"};
    QTest::newRow("IFNULL") << "SELECT IFNULL(a, 0) FROM t" << QStringList{"IFNULL"};
    QTest::newRow("GLOB") << "SELECT * FROM t WHERE Alias GLOB 'x*'" << QStringList{"GLOB"};
    QTest::newRow("double-quoted text") << "SELECT * FROM t WHERE Alias = \"x\"" << QStringList{"double quotes"};
    QTest::newRow("date functions") << "SELECT datetime('now'), strftime('%Y', d) FROM t" << QStringList{"date function"};
    QTest::newRow("substr and length") << "SELECT substr(a, 1, 2) FROM t WHERE length(a) > 2"
                                       << QStringList{"SQLite function"};
    QTest::newRow("rowid") << "SELECT * FROM t WHERE rowid = ?" << QStringList{"SQLite name"};
    QTest::newRow("conflict clause") << "INSERT OR REPLACE INTO t VALUES (?)" << QStringList{"conflict clause"};
    QTest::newRow("== and TRUE") << "SELECT * FROM t WHERE a == 1 AND Locked = TRUE" << QStringList{"==", "TRUE/FALSE"};
}

void TestSqlDialect::rules()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, expected);
    QCOMPARE(offences(sql), expected);
}

void TestSqlDialect::programStatements()
{
    const QString folder = qEnvironmentVariable("QUILLOR_SQL_TRACE");
    const QDir source(QStringLiteral(QUILLOR_SOURCE_DIR));
    // SQL text -> the places in the program that sent it.
    QMap<QString, QStringList> texts;
    const QStringList files = folder.isEmpty() ? QStringList() : QDir(folder).entryList({QStringLiteral("*.jsonl")}, QDir::Files);
    for (const QString &name : files) {
        QFile file(QDir(folder).filePath(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        while (!file.atEnd()) {
            const QJsonObject entry = QJsonDocument::fromJson(file.readLine()).object();
            const QString path = source.relativeFilePath(entry.value(QStringLiteral("file")).toString());
            if (!path.startsWith(QLatin1String("src/")) || path.startsWith(QLatin1String("src/embedded/")))
                continue;
            const QString place = path + u':' + QString::number(entry.value(QStringLiteral("line")).toInt());
            QStringList &places = texts[entry.value(QStringLiteral("sql")).toString()];
            if (!places.contains(place))
                places << place;
        }
    }
    if (texts.isEmpty())
        QSKIP("The program sent no SQL in this run: run the whole suite (ctest) first.");

    QStringList failures;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        for (const QString &rule : offences(it.key()))
            failures << QStringLiteral("%1 (%2): %3\n    sent from %4").arg(rule, why(rule), it.key(), it->join(u", "));
    }
    qInfo("%lld distinct SQL texts of the program checked", qlonglong(texts.size()));
    QVERIFY2(failures.isEmpty(), qPrintable(QStringLiteral("SQL Server would refuse:\n") + failures.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestSqlDialect)
#include "tst_sqldialect.moc"
