CREATE TABLE StdItems (Idx INTEGER PRIMARY KEY, Name TEXT, StdMode TEXT, c4, c5, c6, c7, c8, c9, c10,
    c11, c12, c13, c14, c15, c16, c17, c18, c19, c20, c21, c22, c23, c24, c25, c26, c27, c28, c29, c30,
    c31, c32, c33, c34, c35, c36, c37, Shine INTEGER, c39, c40);
INSERT INTO StdItems (Idx, Name, StdMode, Shine) VALUES (1, '木剑', '1', 101), (2, '金创药', '3', 99),
    (3, NULL, '00', 100), (4, '铁剑', NULL, NULL);
