/*
QueryName:Q_TableCUST
LiveAnswer:True
Alias:DEMO
*/

SELECT a, b
	FROM t
	WHERE a = 'x;/*y';
INSERT INTO t /* c */ VALUES (1); /* note */
WITH w AS (SELECT 1) INSERT INTO t SELECT * FROM w;
-- done
PRAGMA user_version = 3;
/* never closed
