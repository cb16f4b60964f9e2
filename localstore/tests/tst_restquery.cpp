#include "HttpMessage.h"
#include "RestQuery.h"

#include <QTest>

class TestRestQuery : public QObject
{
    Q_OBJECT
private slots:
    void inList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("plain") << "(active,trialing,past_due)" << true << QStringList{"active", "trialing", "past_due"};
        QTest::newRow("empty list") << "()" << true << QStringList{};
        QTest::newRow("quoted comma and dot") << "(\"a,b\",\"c.d\")" << true << QStringList{"a,b", "c.d"};
        QTest::newRow("escaped quote and backslash") << "(\"say \\\"hi\\\"\",\"back\\\\slash\")" << true
                                                     << QStringList{"say \"hi\"", "back\\slash"};
        QTest::newRow("quoted spaces kept") << "(\" padded \")" << true << QStringList{" padded "};
        QTest::newRow("quoted parentheses") << "(\"f(x)\",y)" << true << QStringList{"f(x)", "y"};
        QTest::newRow("empty member") << "(a,)" << true << QStringList{"a", ""};
        QTest::newRow("no parentheses") << "a,b" << false << QStringList{};
        QTest::newRow("unterminated quote") << "(\"abc)" << false << QStringList{};
        QTest::newRow("junk after quote") << "(\"a\"b)" << false << QStringList{};
        QTest::newRow("bare parenthesis") << "(a(b)" << false << QStringList{};
        QTest::newRow("dangling escape") << "(\"a\\)" << false << QStringList{};
    }
    void inList()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QStringList, members);
        const auto parsed = parseInList(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, members);
    }

    void formDecoding_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("encoded list") << QByteArray("status=in.%28active%2Ctrialing%29") << "status" << "in.(active,trialing)";
        QTest::newRow("plus is space") << QByteArray("title=eq.Sea+calm") << "title" << "eq.Sea calm";
        QTest::newRow("encoded plus") << QByteArray("title=eq.a%2Bb") << "title" << "eq.a+b";
        QTest::newRow("quotes") << QByteArray("id=in.%28%22a%2Cb%22%29") << "id" << "in.(\"a,b\")";
        QTest::newRow("utf-8") << QByteArray("title=eq.%C3%A9t%C3%A9") << "title" << QString::fromUtf8("eq.été");
    }
    void formDecoding()
    {
        QFETCH(QByteArray, query);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const auto items = formDecodeItems(query);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().first, key);
        QCOMPARE(items.first().second, value);
    }

    void order_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QList<bool>>("descending");
        QTest::addColumn<QList<bool>>("nullsFirst");
        QTest::newRow("bare column ascends, nulls last") << "title" << QStringList{"title"} << QList<bool>{false} << QList<bool>{false};
        QTest::newRow("desc puts nulls first") << "created_at.desc" << QStringList{"created_at"} << QList<bool>{true} << QList<bool>{true};
        QTest::newRow("desc nullslast") << "created_at.desc.nullslast" << QStringList{"created_at"} << QList<bool>{true} << QList<bool>{false};
        QTest::newRow("asc nullsfirst") << "created_at.asc.nullsfirst" << QStringList{"created_at"} << QList<bool>{false} << QList<bool>{true};
        QTest::newRow("nulls without direction") << "a.nullsfirst" << QStringList{"a"} << QList<bool>{false} << QList<bool>{true};
        QTest::newRow("several") << "position.asc,wallpaper_id.desc" << QStringList{"position", "wallpaper_id"}
                                 << QList<bool>{false, true} << QList<bool>{false, true};
    }
    void order()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, columns);
        QFETCH(QList<bool>, descending);
        QFETCH(QList<bool>, nullsFirst);
        const auto parsed = RestQuery::parse({{"order", text}});
        QVERIFY(std::holds_alternative<RestQuery>(parsed));
        const QList<RestOrder> order = std::get<RestQuery>(parsed).order;
        QCOMPARE(order.size(), columns.size());
        for (qsizetype i = 0; i < order.size(); ++i) {
            QCOMPARE(order[i].column, columns[i]);
            QCOMPARE(order[i].descending, descending[i]);
            QCOMPARE(order[i].nullsFirst, nullsFirst[i]);
        }
    }

    void parses()
    {
        const auto parsed = RestQuery::parse({{"select", "id, t:title"}, {"is_published", "eq.true"},
                                              {"status", "not.in.(a,\"b,c\")"}, {"limit", "1"}, {"offset", "2"},
                                              {"apikey", "ignored"}});
        QVERIFY(std::holds_alternative<RestQuery>(parsed));
        const RestQuery query = std::get<RestQuery>(parsed);
        QCOMPARE(query.select.size(), 2);
        QCOMPARE(query.select[1].alias, QStringLiteral("t"));
        QCOMPARE(query.select[1].column, QStringLiteral("title"));
        QCOMPARE(query.filters.size(), 2);
        QCOMPARE(query.filters[0].op, QStringLiteral("eq"));
        QCOMPARE(query.filters[0].values, QStringList{"true"});
        QVERIFY(query.filters[1].negated);
        QCOMPARE(query.filters[1].values, (QStringList{"a", "b,c"}));
        QCOMPARE(query.limit, 1);
        QCOMPARE(query.offset, 2);
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("unknown operator") << "id" << "zz.1" << QByteArray("PGRST100");
        QTest::newRow("no operator") << "id" << "1" << QByteArray("PGRST100");
        QTest::newRow("bad in list") << "id" << "in.(\"a)" << QByteArray("PGRST100");
        QTest::newRow("bad is value") << "id" << "is.maybe" << QByteArray("PGRST100");
        QTest::newRow("bad order modifier") << "order" << "id.sideways" << QByteArray("PGRST100");
        QTest::newRow("nulls before direction") << "order" << "id.nullslast.desc" << QByteArray("PGRST100");
        QTest::newRow("negative limit") << "limit" << "-1" << QByteArray("PGRST100");
        QTest::newRow("word offset") << "offset" << "ten" << QByteArray("PGRST100");
        QTest::newRow("embedded resource") << "select" << "*,packs(*)" << QByteArray("PGRST200");
        QTest::newRow("odd column name") << "select" << "id;drop" << QByteArray("PGRST100");
        QTest::newRow("logic tree") << "or" << "(a.eq.1,b.eq.2)" << QByteArray("PGRST100");
    }
    void refuses()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, code);
        const auto parsed = RestQuery::parse({{key, value}});
        QVERIFY(std::holds_alternative<RestError>(parsed));
        QCOMPARE(std::get<RestError>(parsed).code, code);
        QCOMPARE(std::get<RestError>(parsed).status, 400);
    }
};

QTEST_GUILESS_MAIN(TestRestQuery)
#include "tst_restquery.moc"
