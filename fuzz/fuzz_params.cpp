// The placeholder scanner and the parameter walk over any script, answered with values
// taken from the input: placeholders found lie on their line, and the walk asks at most
// once per "<" of the script. Answers may begin with "<" ("<=", "<>") and hold ">", but
// hold no other "<": a value that opens a placeholder of its own is asked for by design.

#include "FuzzSupport.h"
#include "ParamWalk.h"

#include <algorithm>

extern "C" FUZZ_CHECKER int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [script, answers] = SplitInput(data, size, QByteArray("\n====\n", 6));
    QStringList lines = QString::fromUtf8(script).split(u'\n');
    for (const QString &line : lines) {
        int from = 0;
        int open = -1;
        int close = -1;
        int found = 0;
        while (NextPlaceholder(line, from, open, close)) {
            FUZZ_CHECK(open >= from && open < close && close < line.size());
            FUZZ_CHECK(line.at(open) == u'<' && line.at(close) == u'>');
            from = close + 1;
            FUZZ_CHECK(++found <= line.size());
        }
    }

    QStringList values = QString::fromUtf8(answers).split(u'\n');
    for (QString &v : values)
        if (v.size() > 1)
            v.erase(std::remove(v.begin() + 1, v.end(), u'<'), v.end());
    const qsizetype limit = script.count('<');
    qsizetype asked = 0;
    QStringList remembered;
    ParamWalk(lines, 0, remembered, [&](const QString &, const QString &, QString &value) {
        FUZZ_CHECK(++asked <= limit);
        value = values.at(asked % values.size());
        return !value.startsWith(u'!');
    });
    return 0;
}
