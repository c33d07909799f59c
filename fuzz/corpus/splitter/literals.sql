INSERT INTO e VALUES ('multi

line');
( (select "a;b" FROM [x]) ) ; /* Alias: X */
/* a */ /* QUERYNAME:n */ VALUES (1)
