#include "SqlRules.h"

QStringList SqlKeywordLines()
{
    return {"Create", "Add",    "Drop",     "Alter",  "Index",   "On",       "Table",    "Primary",
            "Key",    "Not",    "Null",     "Select", "Update",  "Set",      "Insert",   "Into",
            "Values", "Delete", "From",     "Join",   "Where",   "Group",    "Order",    "By",
            "AND",    "OR",     "IS",       "LIKE",   "as",      "in",       "distinct", "count",
            "sum",    "avg",    "VARCHAR",  "CHAR",   "INTEGER", "SMALLINT", "BIT",      "FLOAT",
            "DATE",   "MEMO",   "AUTO INC", "Desc",   "Between"};
}

QStringList SqlMarkerLines()
{
    // A "--" comment runs to its line break; in one table with the quotes, so that whichever
    // opens first holds the other as plain text, as the executor reads them.
    return {"<;>;", "/*;*/;", "\";\";red", "';';red", "--;\r\n;"};
}

void AddSqlColorRules(TDrawRules &Rules)
{
    TColorRule &keys = Rules.Add();
    keys.KeyDrawingType = dtKeyShow;
    keys.DefKeyColor = clWindowText; // readable on dark themes too
    keys.SetKeywords(SqlKeywordLines());

    TColorRule &spans = Rules.Add();
    spans.KeyDrawingType = dtBeginEnd;
    spans.KeyMaxHeight = 0;
    spans.DefKeyColor = clGray;
    spans.SetKeyBegEndLst(SqlMarkerLines());
}
