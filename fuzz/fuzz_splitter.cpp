// The statement splitter and the keyword reader over any script: every step lies on a line
// of the script, a directive's value ends its line's text, statements come in the order of their
// lines, a directive's value never reaches past its comment's end, an unclosed comment is the last
// step, and each statement has a keyword that is a word or nothing.

#include "FuzzSupport.h"
#include "ScriptSplitter.h"
#include "SqlText.h"

extern "C" FUZZ_CHECKER int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines = FuzzText(data, size).split(u'\n');
    for (const QString &line : lines) {
        TDirectiveKey key;
        QString value;
        if (ParseDirective(line, key, value))
            FUZZ_CHECK(line.endsWith(value) && value.size() < line.size());
    }
    const QList<TScriptStep> steps = SplitScript(lines);
    int lastStatement = -1;
    int lastDirective = -1;
    for (qsizetype s = 0; s < steps.size(); ++s) {
        const TScriptStep &step = steps[s];
        FUZZ_CHECK(step.Line >= 0 && step.Line < lines.size());
        switch (step.Kind) {
        case TScriptStep::TKind::Statement: {
            FUZZ_CHECK(step.Line > lastStatement);
            FUZZ_CHECK(!step.Sql.isEmpty() && step.Sql.size() <= lines.size() - step.Line);
            lastStatement = step.Line;
            const QString keyword = StatementKeyword(step.Sql.join(u'\n'));
            for (const QChar c : keyword) // one word (upper case may add combining marks)
                FUZZ_CHECK(!c.isSpace() && !QStringLiteral("()'\"`[]/-;*").contains(c));
            FUZZ_CHECK(keyword == keyword.toUpper());
            break;
        }
        case TScriptStep::TKind::Directive: {
            FUZZ_CHECK(step.Line >= lastDirective);
            lastDirective = step.Line;
            FUZZ_CHECK(!step.Value.contains(QLatin1String("*/")));
            FUZZ_CHECK(lines[step.Line].contains(step.Value));
            break;
        }
        case TScriptStep::TKind::UnclosedComment:
            FUZZ_CHECK(s == steps.size() - 1);
            FUZZ_CHECK(lines[step.Line].contains(QLatin1String("/*")));
            break;
        }
    }
    return 0;
}
