#pragma once
// A fresh sample server in a temporary folder with an open connection to its
// main database, for the embedded server's tests.

#include "embedded/sampleserver.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>
#include <QVariant>

#include <optional>

namespace quillor::embedded::test {

class SampleFixture {
public:
    SampleFixture() = default;
    SampleFixture(const SampleFixture &) = delete;
    SampleFixture &operator=(const SampleFixture &) = delete;
    ~SampleFixture() { close(); }

    // Builds the sample and opens its main database; false with `error` set on failure.
    bool create(const SampleOptions &options = {})
    {
        close();
        server = createSampleServer(dir.path(), options, &error);
        return server && open(server->mainDatabase);
    }

    bool open(const QString &path)
    {
        close();
        m_name = QStringLiteral("embedded_test_") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        connection.setDatabaseName(path);
        if (!connection.open()) {
            error = connection.lastError().text();
            return false;
        }
        return true;
    }

    void close()
    {
        if (m_name.isEmpty())
            return;
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
    }

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    // The first column of every row of a query with bound values.
    QVariantList column(const QString &sql, const QVariantList &params = {}) const
    {
        QSqlQuery q(db());
        q.prepare(sql);
        for (const QVariant &p : params)
            q.addBindValue(p);
        QVariantList values;
        if (!q.exec()) {
            values << QStringLiteral("SQL error: ") + q.lastError().text();
            return values;
        }
        while (q.next())
            values << q.value(0);
        return values;
    }

    QVariant scalar(const QString &sql, const QVariantList &params = {}) const
    {
        const QVariantList values = column(sql, params);
        return values.isEmpty() ? QVariant() : values.first();
    }

    int count(const QString &sql, const QVariantList &params = {}) const
    {
        return int(column(sql, params).size());
    }

    // Every row of a table as text, to show that a refused call changed nothing.
    QStringList dump(const QString &table) const
    {
        QSqlQuery q(db());
        QStringList rows;
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table)))
            return {QStringLiteral("SQL error: ") + q.lastError().text()};
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            rows << fields.join(u'|');
        }
        return rows;
    }

    QTemporaryDir dir;
    std::optional<SampleServer> server;
    QString error;

private:
    QString m_name;
};

} // namespace quillor::embedded::test
