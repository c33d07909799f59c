#pragma once

// Helpers shared by the test programs: temporary folders and the PostgreSQL server that
// scripts/test starts.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

inline QString PgEnv(const char *name)
{
    return qEnvironmentVariable(name);
}

// Alias parameters for the test server; fails the test when scripts/test did not start one.
#define REQUIRE_PG()                                                                               \
    do {                                                                                           \
        if (PgEnv("ORVANE_PG_PORT").isEmpty())                                                     \
            QFAIL("No PostgreSQL test server: run the tests through scripts/test (it sets "        \
                  "ORVANE_PG_HOST, ORVANE_PG_PORT, ORVANE_PG_USER, ORVANE_PG_DATABASE)");          \
    } while (0)

inline QStringList PgAliasParams()
{
    return {QStringLiteral("SERVER NAME=") + PgEnv("ORVANE_PG_HOST"),
            QStringLiteral("PORT=") + PgEnv("ORVANE_PG_PORT"),
            QStringLiteral("DATABASE NAME=") + PgEnv("ORVANE_PG_DATABASE"),
            QStringLiteral("USER NAME=") + PgEnv("ORVANE_PG_USER")};
}

// The main() of a test program whose settings and data folders (and so its DEMO database)
// are made afresh for the run, under an application of the given class.
#define ORVANE_TEST_MAIN_WITH_HOME(TestClass, AppClass)                                            \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QTemporaryDir home;                                                                        \
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());                              \
        qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());                                  \
        AppClass app(argc, argv);                                                                  \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
