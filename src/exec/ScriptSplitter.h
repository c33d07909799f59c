#pragma once

// Cuts the editor's lines into what a run does, in order: the statements to send and the
// directives met in comment blocks between and inside them.
//
// A statement ends at the first ";" of a line outside literals and comments (the rest of
// that line still belongs to it) or with the script. Comment blocks between "/*" and "*/"
// may begin and end anywhere on a line; the text around them belongs to the statement,
// which goes to the engine without them. "--" comments stay in the text the engine gets.

#include <QList>
#include <QString>
#include <QStringList>

enum class TDirectiveKey { Alias, LiveAnswer, QueryName };

struct TScriptStep
{
    enum class TKind { Statement, Directive, UnclosedComment };
    TKind Kind = TKind::Statement;
    // A statement's first line, a directive's line, or the line an unclosed comment opens on.
    int Line = 0;
    // A statement's lines as sent: comment blocks out, the first ";" of a line removed.
    QStringList Sql;
    TDirectiveKey Key = TDirectiveKey::Alias;
    QString Value; // a directive's value, as written
};

QList<TScriptStep> SplitScript(const QStringList &lines);

// The directive in the text of one comment line (for the block's first line, the text after
// its "/*"; never the "*/"): after blanks it begins with ALIAS, LIVEANSWER or QUERYNAME in
// any letter case, then ":"; the value is the rest. False when the line is no directive.
bool ParseDirective(const QString &commentText, TDirectiveKey &key, QString &value);
