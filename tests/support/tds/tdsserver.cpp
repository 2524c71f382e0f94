#include "tdsserver.h"

#include "embedded/sampleserver.h"
#include "tdsengine.h"
#include "tdswire.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>
#include <QtEndian>

namespace quillor::test::tds {

namespace {

enum MessageType : quint8 {
    SqlBatch = 0x01,
    Rpc = 0x03,
    Attention = 0x06,
    TransactionManager = 0x0E,
    Login7 = 0x10,
    PreLogin = 0x12,
};

enum ProcId : quint16 {
    CursorOpen = 2,
    ExecuteSql = 10,
    Prepare = 11,
    Execute = 12,
    PrepExec = 13,
    Unprepare = 15,
};

QString procName(quint16 id)
{
    switch (id) {
    case CursorOpen: return QStringLiteral("sp_cursoropen");
    case ExecuteSql: return QStringLiteral("sp_executesql");
    case Prepare: return QStringLiteral("sp_prepare");
    case Execute: return QStringLiteral("sp_execute");
    case PrepExec: return QStringLiteral("sp_prepexec");
    case Unprepare: return QStringLiteral("sp_unprepare");
    }
    return QStringLiteral("procedure %1").arg(id);
}

// What the test's thread and the server's share: the databases the server
// knows, the requests counted, the delay of each reply.
struct Shared {
    mutable QMutex mutex;
    QHash<QString, std::pair<QString, QString>> byKey; // lower-case name -> (name, SQLite file)
    QAtomicInt requests;
    QAtomicInt replyDelay; // ms

    std::optional<std::pair<QString, QString>> find(const QString &name) const
    {
        QMutexLocker lock(&mutex);
        const auto it = byKey.constFind(name.toLower());
        return it == byKey.cend() ? std::nullopt : std::optional(*it);
    }

    QList<TdsServer::Fault> faults;
    QAtomicInt faultsHit;

    // The first unit of a request (a batch, each RPC, a transaction request) that a fault hits, and the fault.
    std::optional<std::pair<qsizetype, TdsServer::Fault>> hit(const QStringList &texts)
    {
        QMutexLocker lock(&mutex);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            for (qsizetype k = 0; k < faults.size(); ++k) {
                TdsServer::Fault &f = faults[k];
                if (!f.match.isEmpty() && !texts[i].contains(f.match, Qt::CaseInsensitive))
                    continue;
                if (f.skip > 0) {
                    --f.skip;
                    continue;
                }
                const TdsServer::Fault fault = f;
                if (f.times > 0 && --f.times == 0)
                    faults.removeAt(k);
                faultsHit.fetchAndAddRelaxed(1);
                return std::pair{i, fault};
            }
        }
        return std::nullopt;
    }
};

struct Prepared {
    QString statement;
    QString declaration;
};

// The parameter names of an @params declaration ("@P1 INT,@P2 VARCHAR(8)").
QStringList declaredNames(const QString &declaration)
{
    QStringList names;
    int depth = 0;
    QString item;
    for (const QChar c : declaration + u',') {
        depth += c == u'(' ? 1 : c == u')' ? -1 : 0;
        if (c != u',' || depth > 0) {
            item += c;
            continue;
        }
        if (const QString t = item.trimmed(); !t.isEmpty())
            names << t.section(u' ', 0, 0, QString::SectionSkipEmpty);
        item.clear();
    }
    return names;
}

using Fault = TdsServer::Fault;

// One RPC of a request: the procedure and its parameters.
struct Call {
    quint16 id = 0;
    QString name;
    QList<Parameter> params;

    QString text(qsizetype i) const { return i < params.size() ? params[i].value.value.toString() : QString(); }
};

// A request taken apart before anything of it runs, so that faults can be
// matched against what it carries.
struct Request {
    quint8 type = 0;
    QString batch;     // SQL batch
    QList<Call> calls; // RPC
    quint16 tm = 0;    // transaction manager: 5 begin, 7 commit, 8 rollback
    bool tmBeginNew = false;
};

// Thrown where a fault cuts the connection: nothing more of the request is answered.
struct Cut {};

bool isCommitText(const QString &text)
{
    static const QRegularExpression commit(QStringLiteral("^\\s*(IF @@TRANCOUNT ?> ?0\\s+)?COMMIT\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return commit.match(text).hasMatch();
}

// One client connection, living in the server's thread. Requests are handled
// as they arrive, to the end, before the next is read: one at a time, as a
// server without MARS does. A stalled request holds back the ones after it.
class Connection : public QObject {
public:
    Connection(QTcpSocket *socket, Shared &shared, quint16 spid, QObject *parent)
        : QObject(parent), m_socket(socket), m_shared(shared), m_spid(spid)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        for (QTimer *timer : {&m_holdTimer, &m_stallTimer}) {
            timer->setSingleShot(true);
            timer->setTimerType(Qt::PreciseTimer);
        }
        connect(&m_holdTimer, &QTimer::timeout, this, &Connection::releaseHeld);
        connect(&m_stallTimer, &QTimer::timeout, this, &Connection::endStall);
        m_clock.start();
    }

private:
    using Hit = std::optional<std::pair<qsizetype, Fault>>; // which unit of the request, and the fault

    bool tds72() const { return (m_version >> 24) >= 0x72; }
    void onReadyRead();
    void handle(quint8 type, const QByteArray &message);
    void answer(const Request &request, const Hit &hit);
    void endStall();
    void cut();
    void reply(const QByteArray &message);
    void releaseHeld();
    void closeWhenSent(); // after the replies held back
    QByteArray preLogin();
    void login(const QByteArray &message);
    void skipAllHeaders(Reader &in) const;
    Request read(quint8 type, const QByteArray &message) const;
    Call readCall(Reader &in) const;
    QString statementOf(const Call &call) const;
    // Cuts where the fault says so before the unit runs; `commit`: the unit commits.
    void before(const Fault *fault, bool commit);
    QByteArray batch(const QString &text, const Fault *fault);
    QByteArray rpc(const Request &request, const Hit &hit);
    QByteArray runCall(const Call &call, bool &failed, const Fault *fault);
    QByteArray transaction(const Request &request, const Fault *fault);
    // Runs `statement` with @P1... from `values`; appends its tokens, each statement ending with `doneKind`.
    bool run(QByteArray &out, const QString &statement, const QString &declaration, const QList<Value> &values,
             quint8 doneKind, bool lastIsFinal, const Fault *fault);
    // The statement's results, or the error a fault answers instead.
    QList<StatementResult> runOrFail(QByteArray &out, const QString &text, const QList<Value> &values,
                                     const Fault *fault);
    // The error of a fault that refuses the statement; a deadlock's rollback is added to `out` first.
    ServerError refusal(QByteArray &out, const Fault &fault);
    QByteArray descriptor() const;

    QTcpSocket *m_socket;
    Shared &m_shared;
    quint16 m_spid;
    QByteArray m_in;      // bytes received, not yet a whole packet
    QByteArray m_message; // packets of the message so far
    std::unique_ptr<Session> m_session;
    quint32 m_version = 0;
    int m_packetSize = 4096;
    QHash<qint32, Prepared> m_prepared;
    qint32 m_nextHandle = 1;
    quint64 m_descriptor = 0; // the open transaction's, 0 for none
    quint64 m_descriptors = 0;
    bool m_gone = false;        // cut: nothing more is read or answered
    bool m_cutAtCommit = false; // a CutAtCommit fault waits for the next commit
    bool m_closeWhenSent = false;
    std::optional<Request> m_stalled;
    QList<std::pair<quint8, QByteArray>> m_waiting; // messages behind a stalled request
    QTimer m_stallTimer;
    // Replies held back for the reply delay, in order, each with when it is due.
    QList<std::pair<qint64, QByteArray>> m_held;
    QTimer m_holdTimer;
    QElapsedTimer m_clock;
};

void Connection::reply(const QByteArray &message)
{
    const QByteArray bytes = packets(message, m_packetSize, m_spid);
    const int delay = m_shared.replyDelay.loadRelaxed();
    if (delay <= 0 && m_held.isEmpty()) {
        m_socket->write(bytes);
        return;
    }
    m_held.append({m_clock.elapsed() + std::max(delay, 0), bytes});
    if (!m_holdTimer.isActive())
        m_holdTimer.start(std::max(delay, 0));
}

void Connection::releaseHeld()
{
    while (!m_held.isEmpty() && m_held.first().first <= m_clock.elapsed())
        m_socket->write(m_held.takeFirst().second);
    if (!m_held.isEmpty())
        m_holdTimer.start(int(std::max<qint64>(m_held.first().first - m_clock.elapsed(), 0)));
    else if (m_closeWhenSent)
        m_socket->disconnectFromHost();
}

void Connection::closeWhenSent()
{
    m_closeWhenSent = true;
    if (m_held.isEmpty())
        m_socket->disconnectFromHost();
}

void Connection::onReadyRead()
{
    m_in += m_socket->readAll();
    while (!m_gone && m_in.size() >= 8) {
        const auto length = qFromBigEndian<quint16>(m_in.constData() + 2);
        if (length < 8) {
            m_socket->abort(); // not a TDS packet: nothing sensible can follow
            return;
        }
        if (m_in.size() < length)
            return;
        const auto type = quint8(m_in[0]);
        const auto status = quint8(m_in[1]);
        m_message += m_in.mid(8, length - 8);
        m_in.remove(0, length);
        if (type == Attention) {
            // A stalled request is dropped unrun. Any other has run to its
            // end before the next packet was read: the attention finds it
            // finished and is acknowledged alone.
            m_message.clear();
            if (m_session)
                m_shared.requests.fetchAndAddRelaxed(1);
            if (m_stalled) {
                m_stallTimer.stop();
                m_stalled.reset();
            }
            reply(token::done(token::Done, token::Attention, 0, tds72()));
            continue;
        }
        if (!(status & 0x01))
            continue;
        const QByteArray message = std::exchange(m_message, {});
        if (!(status & 0x02)) // 0x02 with the last packet: the client abandoned the message
            handle(type, message);
    }
    if (!m_stalled) // what waited behind a stall cancelled above
        while (!m_gone && !m_stalled && !m_waiting.isEmpty()) {
            const auto [type, message] = m_waiting.takeFirst();
            handle(type, message);
        }
}

void Connection::handle(quint8 type, const QByteArray &message)
{
    if (m_stalled) {
        m_waiting.append({type, message});
        return;
    }
    try {
        if (type == PreLogin) {
            reply(preLogin());
            return;
        }
        if (type == Login7) {
            login(message);
            return;
        }
        if (!m_session)
            throw WireError{QStringLiteral("a message of type 0x%1 before the login").arg(type, 2, 16, QLatin1Char('0'))};
        m_shared.requests.fetchAndAddRelaxed(1);
        const Request request = read(type, message);
        QStringList texts;
        if (type == SqlBatch)
            texts << request.batch;
        for (const Call &call : request.calls)
            texts << statementOf(call);
        if (type == TransactionManager)
            texts << (request.tm == 5 ? QStringLiteral("BEGIN") : request.tm == 7 ? QStringLiteral("COMMIT")
                                                                                 : QStringLiteral("ROLLBACK"));
        const Hit hit = m_shared.hit(texts);
        if (hit && hit->second.kind == Fault::Kind::Stall) {
            m_stalled = request;
            m_stallTimer.start(std::max(hit->second.seconds, 0) * 1000);
            return;
        }
        answer(request, hit);
    } catch (const WireError &e) {
        const ServerError error{e.number, QStringLiteral("The TDS stand-in server cannot answer %1: %2")
                                              .arg(type == Rpc ? QStringLiteral("an RPC") : QStringLiteral("a request"),
                                                   e.message)};
        reply(token::error(error, tds72())
              + token::done(type == Rpc ? token::DoneProc : token::Done, token::Error, 0, tds72()));
        if (!m_session)
            closeWhenSent();
    }
}

void Connection::answer(const Request &request, const Hit &hit)
{
    const Fault *fault = hit ? &hit->second : nullptr;
    try {
        switch (request.type) {
        case SqlBatch: reply(batch(request.batch, fault)); break;
        case Rpc: reply(rpc(request, hit)); break;
        case TransactionManager: reply(transaction(request, fault)); break;
        }
    } catch (const Cut &) {
        cut();
    } catch (const WireError &e) {
        reply(token::error({e.number, QStringLiteral("The TDS stand-in server cannot answer a request: %1").arg(e.message)},
                           tds72())
              + token::done(request.type == Rpc ? token::DoneProc : token::Done, token::Error, 0, tds72()));
    }
}

void Connection::endStall()
{
    if (!m_stalled || m_gone)
        return;
    const Request request = *std::exchange(m_stalled, std::nullopt);
    answer(request, std::nullopt);
    onReadyRead(); // what arrived meanwhile
}

// As a server that goes away: the session's transaction rolled back, the
// socket closed without a word.
void Connection::cut()
{
    m_gone = true;
    m_stallTimer.stop();
    m_holdTimer.stop();
    m_held.clear();
    if (m_session && m_session->inTransaction())
        m_session->rollback();
    m_session.reset(); // the SQLite file is left unlocked
    m_socket->abort();
    deleteLater();
}

QByteArray Connection::preLogin()
{
    // VERSION, ENCRYPTION (not supported, so the login goes in clear), INSTOPT, THREADID, MARS (off).
    const QByteArray data("\x0F\x00\x07\xD0\x00\x00" "\x02" "\x00" "\x00", 9);
    const struct { quint8 option; quint16 length; } options[] = {{0, 6}, {1, 1}, {2, 1}, {3, 0}, {4, 1}};
    QByteArray out;
    quint16 offset = sizeof options / sizeof *options * 5 + 1;
    for (const auto &o : options) {
        char entry[5] = {char(o.option)};
        qToBigEndian(offset, entry + 1);
        qToBigEndian(o.length, entry + 3);
        out.append(entry, 5);
        offset += o.length;
    }
    return out + '\xFF' + data;
}

void Connection::login(const QByteArray &message)
{
    Reader fixed(message);
    fixed.skip(4);
    m_version = fixed.u32();
    const quint32 packetSize = fixed.u32();
    auto field = [&](int at) {
        Reader pointer(message);
        pointer.skip(at);
        const quint16 offset = pointer.u16();
        const quint16 chars = pointer.u16();
        Reader text(message);
        text.skip(offset);
        return text.ucs2(chars);
    };
    const QString user = field(40);
    const QString name = field(68);
    const auto database = m_shared.find(name);
    if (database)
        m_session = std::make_unique<Session>(database->second);
    if (!m_session || !m_session->isOpen()) {
        QString why = QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.").arg(name);
        if (m_session)
            why += u' ' + m_session->openError();
        m_session.reset();
        reply(token::error({4060, why, 11}, tds72())
              + token::error({18456, QStringLiteral("Login failed for user '%1'.").arg(user), 14}, tds72())
              + token::done(token::Done, token::Error, 0, tds72()));
        closeWhenSent(); // as SQL Server ends a failed login's connection
        return;
    }
    const int agreed = packetSize == 0 ? 4096 : int(std::clamp<quint32>(packetSize, 512, 32767));
    reply(token::envChange(1, token::bVarChar(database->first), token::bVarChar(QStringLiteral("master")))
          + token::envChange(7, token::bVarByte(collation()), token::bVarByte({}))
          + token::envChange(4, token::bVarChar(QString::number(agreed)), token::bVarChar(QStringLiteral("4096")))
          + token::loginAck(m_version) + token::done(token::Done, 0, 0, tds72()));
    m_packetSize = agreed; // from the message after the login reply on
}

void Connection::skipAllHeaders(Reader &in) const
{
    if (!tds72())
        return;
    const quint32 total = in.u32();
    if (total < 4)
        throw WireError{QStringLiteral("ALL_HEADERS of length %1").arg(total)};
    in.skip(total - 4);
}

Request Connection::read(quint8 type, const QByteArray &message) const
{
    Reader in(message);
    Request request;
    request.type = type;
    switch (type) {
    case SqlBatch:
        skipAllHeaders(in);
        request.batch = in.ucs2((in.size() - in.pos()) / 2);
        return request;
    case Rpc:
        skipAllHeaders(in);
        for (;;) {
            request.calls << readCall(in);
            if (in.atEnd())
                return request;
            // Several RPCs in one message are parted by a batch flag.
            if (in.peek() != 0xFF && in.peek() != 0x80 && in.peek() != 0xFE)
                throw WireError{QStringLiteral("byte 0x%1 after the parameters of an RPC")
                                    .arg(in.peek(), 2, 16, QLatin1Char('0'))};
            in.skip(1);
        }
    case TransactionManager:
        skipAllHeaders(in);
        request.tm = in.u16();
        if (request.tm == 5) {
            in.u8(); // isolation level
            in.bVarChar();
        } else if (request.tm == 7 || request.tm == 8) {
            in.bVarChar();
            request.tmBeginNew = !in.atEnd() && (in.u8() & 0x01);
        } else {
            throw WireError{QStringLiteral("transaction manager request %1").arg(request.tm)};
        }
        return request;
    }
    throw WireError{QStringLiteral("a message of type 0x%1, which the stand-in does not take")
                        .arg(type, 2, 16, QLatin1Char('0'))};
}

Call Connection::readCall(Reader &in) const
{
    Call call;
    const quint16 nameLength = in.u16();
    call.id = nameLength == 0xFFFF ? in.u16() : 0;
    call.name = call.id ? procName(call.id) : in.ucs2(nameLength);
    for (quint16 known : {CursorOpen, ExecuteSql, Prepare, Execute, PrepExec, Unprepare})
        if (!call.id && call.name.compare(procName(known), Qt::CaseInsensitive) == 0)
            call.id = known;
    in.u16(); // option flags
    try {
        while (!in.atEnd() && in.peek() != 0xFF && in.peek() != 0x80 && in.peek() != 0xFE)
            call.params << readParameter(in);
    } catch (const WireError &e) {
        throw WireError{QStringLiteral("%1, parameter %2: %3").arg(call.name).arg(call.params.size() + 1).arg(e.message)};
    }
    return call;
}

QString Connection::statementOf(const Call &call) const
{
    switch (call.id) {
    case PrepExec:
    case Prepare: return call.text(2);
    case ExecuteSql: return call.text(0);
    case CursorOpen: return call.text(1);
    case Execute:
        return call.params.isEmpty() ? QString() : m_prepared.value(call.params[0].value.value.toInt()).statement;
    }
    return {};
}

void Connection::before(const Fault *fault, bool commit)
{
    if (fault && fault->kind == Fault::Kind::CutBefore)
        throw Cut{};
    if (fault && fault->kind == Fault::Kind::CutAtCommit)
        m_cutAtCommit = true;
    if (commit && m_cutAtCommit)
        throw Cut{}; // the cut rolls the transaction back
}

ServerError Connection::refusal(QByteArray &out, const Fault &fault)
{
    if (fault.kind == Fault::Kind::LockTimeout)
        return {1222, QStringLiteral("Lock request time out period exceeded."), 16};
    if (m_session->inTransaction()) {
        m_session->rollback();
        out += token::envChange(10, token::bVarByte({}), token::bVarByte(descriptor()));
        m_descriptor = 0;
    }
    return {1205,
            QStringLiteral("Transaction (Process ID %1) was deadlocked on lock resources with another process and has "
                           "been chosen as the deadlock victim. Rerun the transaction.")
                .arg(m_spid),
            13};
}

QList<StatementResult> Connection::runOrFail(QByteArray &out, const QString &text, const QList<Value> &values,
                                             const Fault *fault)
{
    const bool refuses = fault && (fault->kind == Fault::Kind::Deadlock || fault->kind == Fault::Kind::LockTimeout);
    if (!refuses && !(fault && fault->kind == Fault::Kind::RowsThenError))
        return m_session->run(text, values);
    // The fault meets the batch's first statement that carries its match (the
    // first, if none does alone); the batch goes on after it as SQL Server's
    // does after that error.
    const QStringList statements = embedded::splitSqlScript(text);
    const auto carrier = std::find_if(statements.cbegin(), statements.cend(), [&](const QString &statement) {
        return statement.contains(fault->match, Qt::CaseInsensitive);
    });
    const qsizetype target = carrier == statements.cend() ? 0 : carrier - statements.cbegin();
    return m_session->run(text, values, [&](qsizetype n, const StatementResult *ran) -> std::optional<StatementResult> {
        if (n != target || (ran == nullptr) != refuses) // a refusal before the statement, an error after it
            return std::nullopt;
        StatementResult r = ran ? *ran : StatementResult{};
        if (!r.error)
            r.error = refuses ? refusal(out, *fault)
                              : ServerError{fault->number, QStringLiteral("Error %1 after the statement's results, as "
                                                                          "the test asked.")
                                                               .arg(fault->number)};
        return r;
    });
}

bool Connection::run(QByteArray &out, const QString &statement, const QString &declaration,
                     const QList<Value> &values, quint8 doneKind, bool lastIsFinal, const Fault *fault)
{
    const QStringList names = declaredNames(declaration);
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(QStringLiteral("@P%1").arg(i + 1), Qt::CaseInsensitive) != 0)
            throw WireError{QStringLiteral("parameters declared as \"%1\"; the stand-in binds only @P1, @P2, ... in "
                                           "order")
                                .arg(declaration)};
    if (values.size() < names.size())
        throw WireError{QStringLiteral("The parameterized query '(%1)%2' expects the parameter '%3', which was not "
                                       "supplied.")
                            .arg(declaration, statement, names[values.size()]),
                        8178};
    if (values.size() > names.size())
        throw WireError{QStringLiteral("%1 values for the parameters \"%2\" of \"%3\"")
                            .arg(values.size())
                            .arg(declaration, statement),
                        8144};
    before(fault, isCommitText(statement));
    return token::results(out, runOrFail(out, statement, values, fault), doneKind, lastIsFinal, tds72());
}

QByteArray Connection::batch(const QString &text, const Fault *fault)
{
    QByteArray out;
    run(out, text, {}, {}, token::Done, true, fault);
    if (fault && fault->kind == Fault::Kind::CutAfter)
        throw Cut{};
    return out;
}

QByteArray Connection::rpc(const Request &request, const Hit &hit)
{
    QByteArray out;
    for (qsizetype i = 0; i < request.calls.size(); ++i) {
        const Fault *fault = hit && hit->first == i ? &hit->second : nullptr;
        bool failed = false;
        out += runCall(request.calls[i], failed, fault);
        if (fault && fault->kind == Fault::Kind::CutAfter)
            throw Cut{};
        const bool more = i + 1 < request.calls.size();
        out += token::done(token::DoneProc, quint16((failed ? token::Error : 0) | (more ? token::More : 0)), 0,
                           tds72());
    }
    return out;
}

QByteArray Connection::runCall(const Call &call, bool &failed, const Fault *fault)
{
    const quint16 id = call.id;
    if (!id)
        throw WireError{QStringLiteral("Could not find stored procedure '%1'.").arg(call.name), 2812};
    const QList<Parameter> &params = call.params;
    auto valuesFrom = [&](qsizetype first) {
        QList<Value> values;
        for (qsizetype i = first; i < params.size(); ++i)
            values << params[i].value;
        return values;
    };
    auto handleOf = [&](qsizetype i) {
        const QVariant v = i < params.size() ? params[i].value.value : QVariant();
        if (v.isNull() || !m_prepared.contains(v.toInt()))
            throw WireError{QStringLiteral("Could not find prepared statement with handle %1.").arg(v.toInt()), 8179};
        return v.toInt();
    };
    const qsizetype needed = id == Execute || id == Unprepare ? 1 : id == ExecuteSql || id == CursorOpen ? 2 : 3;
    if (params.size() < needed)
        throw WireError{QStringLiteral("%1 with %2 parameters").arg(call.name).arg(params.size())};

    QByteArray out;
    switch (id) {
    case PrepExec:
    case Prepare: {
        const qint32 handle = m_nextHandle++;
        m_prepared.insert(handle, {call.text(2), call.text(1)});
        if (id == PrepExec)
            failed = run(out, call.text(2), call.text(1), valuesFrom(3), token::DoneInProc, false, fault);
        else
            before(fault, false);
        return out + token::returnStatus(0) + token::returnIntValue(0, QStringLiteral("@handle"), handle, tds72());
    }
    case Execute: {
        const Prepared p = m_prepared.value(handleOf(0));
        failed = run(out, p.statement, p.declaration, valuesFrom(1), token::DoneInProc, false, fault);
        return out + token::returnStatus(0);
    }
    case Unprepare:
        before(fault, false);
        m_prepared.remove(handleOf(0));
        return token::returnStatus(0);
    case ExecuteSql:
        failed = run(out, call.text(0), call.text(1), valuesFrom(2), token::DoneInProc, false, fault);
        return out + token::returnStatus(0);
    case CursorOpen: {
        // The driver opens a server cursor only for its own settings; they
        // give no rows, and a bare DONEPROC tells it no cursor was opened.
        // A query (with its @paramdef and values after the five fixed
        // parameters) would need a real cursor: that is refused.
        before(fault, false);
        for (const StatementResult &r : runOrFail(out, call.text(1), valuesFrom(6), fault)) {
            const ServerError noCursor{16937, QStringLiteral("The TDS stand-in server opens no server cursor: %1")
                                                  .arg(call.text(1))};
            if (r.error || r.hasRows) {
                out += token::error(r.error.value_or(noCursor), tds72());
                failed = true;
            }
        }
        return out;
    }
    }
    throw WireError{QStringLiteral("%1, which the stand-in does not run").arg(call.name)};
}

QByteArray Connection::descriptor() const
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(m_descriptor, bytes.data());
    return bytes;
}

QByteArray Connection::transaction(const Request &request, const Fault *fault)
{
    before(fault, request.tm == 7);
    QByteArray out;
    std::optional<ServerError> error;
    auto begin = [&] {
        if ((error = m_session->begin()))
            return;
        m_descriptor = ++m_descriptors;
        out += token::envChange(8, token::bVarByte(descriptor()), token::bVarByte({}));
    };
    if (fault && (fault->kind == Fault::Kind::Deadlock || fault->kind == Fault::Kind::LockTimeout)) {
        error = refusal(out, *fault);
    } else if (request.tm == 5) {
        begin();
    } else {
        error = request.tm == 7 ? m_session->commit() : m_session->rollback();
        if (!error) {
            // The end comes before the next begin: the driver forgets the
            // descriptor when it reads the end.
            out += token::envChange(request.tm == 7 ? 9 : 10, token::bVarByte({}), token::bVarByte(descriptor()));
            m_descriptor = 0;
            if (request.tmBeginNew)
                begin();
        }
    }
    if (!error && fault && fault->kind == Fault::Kind::RowsThenError)
        error = ServerError{fault->number, QStringLiteral("Error %1 after the request, as the test asked.").arg(fault->number)};
    if (error)
        out += token::error(*error, tds72());
    out += token::done(token::Done, error ? token::Error : 0, 0, tds72());
    if (fault && fault->kind == Fault::Kind::CutAfter)
        throw Cut{};
    return out;
}

} // namespace

struct TdsServer::Private {
    // Everything of the server lives on this thread's stack, so it is made
    // and destroyed where it is used, the sessions' SQLite connections too.
    class Thread : public QThread {
    public:
        explicit Thread(Private &d) : m_d(d) {}
        void run() override
        {
            QTcpServer listener;
            const bool ok = listener.listen(QHostAddress::LocalHost, 0);
            quint16 spid = 51; // SQL Server numbers the sessions of its users from 51
            QObject::connect(&listener, &QTcpServer::newConnection, &listener, [&] {
                while (QTcpSocket *socket = listener.nextPendingConnection())
                    new Connection(socket, m_d.shared, spid++, &listener);
            });
            {
                QMutexLocker lock(&m_d.shared.mutex);
                m_d.port = listener.serverPort();
                m_d.error = listener.errorString();
                m_d.listening = ok;
                m_d.started = true;
                m_d.ready.wakeAll();
            }
            if (ok)
                exec();
        }

    private:
        Private &m_d;
    };

    Shared shared;
    QWaitCondition ready;
    bool started = false;
    bool listening = false;
    quint16 port = 0;
    QString error;
    Thread thread{*this};
};

TdsServer::TdsServer() : d(std::make_unique<Private>())
{
    d->thread.start();
    QMutexLocker lock(&d->shared.mutex);
    while (!d->started)
        d->ready.wait(&d->shared.mutex);
}

TdsServer::~TdsServer()
{
    d->thread.quit();
    d->thread.wait();
}

bool TdsServer::isListening() const { return d->listening; }
QString TdsServer::error() const { return d->error; }
quint16 TdsServer::port() const { return d->port; }

int TdsServer::requestCount() const { return d->shared.requests.loadRelaxed(); }
void TdsServer::resetRequestCount() { d->shared.requests.storeRelaxed(0); }
void TdsServer::setReplyDelay(int ms) { d->shared.replyDelay.storeRelaxed(ms); }

void TdsServer::addFault(const Fault &fault)
{
    QMutexLocker lock(&d->shared.mutex);
    d->shared.faults << fault;
}

void TdsServer::clearFaults()
{
    QMutexLocker lock(&d->shared.mutex);
    d->shared.faults.clear();
}

int TdsServer::faultsHit() const { return d->shared.faultsHit.loadRelaxed(); }

void TdsServer::setDatabaseFile(const QString &database, const QString &sqliteFile)
{
    QMutexLocker lock(&d->shared.mutex);
    d->shared.byKey.insert(database.toLower(), {database, sqliteFile});
}

} // namespace quillor::test::tds
